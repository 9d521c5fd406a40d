#include "runtime/widgets/statictext.h"

#include "runtime/widgets/controlsupport.h"

namespace wip {

StaticText::StaticText(QWidget *parent, const QString &name, const QString &text)
    : QLabel(text, parent)
{
    ControlSupport::init(this, name);
    setTextFormat(Qt::PlainText);
}

} // namespace wip
