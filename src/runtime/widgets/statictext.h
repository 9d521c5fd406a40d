#pragma once

#include <QLabel>

namespace wip {

// A static text: st_1 "日期" and the other labels of a window.
class StaticText : public QLabel
{
    Q_OBJECT
public:
    StaticText(QWidget *parent, const QString &name, const QString &text = QString());
};

} // namespace wip
