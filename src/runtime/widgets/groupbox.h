#pragma once

#include <QGroupBox>

namespace wip {

// A group box: a titled frame drawn behind the controls placed over it (the
// controls stay children of the window, so it is kept lowest).
class GroupBox : public QGroupBox
{
    Q_OBJECT
public:
    GroupBox(QWidget *parent, const QString &name, const QString &text = QString());
};

} // namespace wip
