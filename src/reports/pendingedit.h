#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

namespace wip::reports {

class DataStore;

// The text being typed into one field of a DataStore's row and not yet in the
// row: what the report control's editor shows, held by the DataStore so that
// AcceptText() needs nothing of the control.
//
// accept() announces a changed text once with itemChanging(row, column, text),
// the window's itemchanged event, while the row still holds the old value; a
// handler that calls AcceptText() then puts the text into the row at once, and
// otherwise it goes in when the handler is done. A text the column cannot take
// is not announced: accept() returns -1 and the text stays typed.
//
//   open(1, "wax_out")    Editing, text "0"      (the field as shown)
//   setText("10")         changed()              (typed; the row still holds 0)
//   accept()              Announcing: itemChanging(1, "wax_out", "10")
//     handler: AcceptText()      row 1 wax_out = 10, Editing again
//   (back in accept())    already in the row: nothing more
//
// A value set into the field by anyone else (a handler's SetItem) replaces the
// typed text; new rows (Retrieve, Reset) and a row inserted or deleted at or
// before the field's row end the edit, also while it is being announced.
class PendingEdit : public QObject
{
    Q_OBJECT

public:
    enum class Stage {
        Closed,       // no field is being edited
        Editing,      // a field is open; its text may differ from the row's value
        Announcing,   // itemChanging is running: the text is not in the row yet
    };

    explicit PendingEdit(DataStore &store);

    Stage stage() const { return m_stage; }
    bool isOpen() const { return m_stage != Stage::Closed; }
    int row() const { return m_row; }
    QString column() const { return m_column; }
    QString text() const { return m_text; }
    // Whether the text differs from the field's value as shown.
    bool changed() const { return isOpen() && m_text != m_shown; }

    // Starts editing a field with the text of its value. Row out of range or an
    // unknown column: HostError, as reading the item.
    void open(int row, const QString &column);
    void setText(const QString &text);
    void close();
    // Puts a changed text into the row (see above): 1, also when nothing changed
    // or the handler moved on; -1 when the column cannot take the text.
    int accept();

    // A value as the editor shows it: numbers without trailing zeros, dates as
    // yyyy-MM-dd (hh:mm:ss when they carry a time), NULL as "".
    static QString textOf(const QVariant &value);

Q_SIGNALS:
    void itemChanging(int row, const QString &column, const QString &text);

private:
    int write();
    void fieldSet(int row, const QString &column);
    void rowMoved(int row);

    DataStore &m_store;
    Stage m_stage = Stage::Closed;
    int m_row = 0;
    QString m_column;
    QString m_text;
    QString m_shown;                      // the field's value as text
};

} // namespace wip::reports
