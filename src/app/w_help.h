#pragma once

#include "runtime/widgets/window.h"

class QTextBrowser;

namespace wip {

class CommandButton;

// The user guide (docs/user-guide.md with its screenshots, compiled in under
// :/guide/), opened by F1 and the Help menu. Opened with a window class name as
// its parameter it shows the part about that window; Esc or "返回" closes it.
class w_help : public Window
{
    Q_OBJECT
public:
    explicit w_help(QWidget *parent = nullptr);

    void open() override;
    void cb_close_clicked();

    // The part of the guide about a window class: the first heading that names
    // the window as the launcher does. False (the guide stays at the top) when
    // none does.
    bool showPartAbout(const QString &className);
    QTextBrowser *browser() const { return br_guide; }

    static QString guideUrl();                    // qrc:/guide/user-guide.md

protected:
    void create() override;

private:
    // Pictures wider than width are shown at that width, so that the guide reads
    // without scrolling sideways.
    void fitPictures(int width);

    QTextBrowser *br_guide = nullptr;
    CommandButton *cb_close = nullptr;
};

} // namespace wip
