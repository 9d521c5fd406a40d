#pragma once

#include <QFlags>
#include <QList>
#include <QString>

#include <functional>

namespace wip {

// One right of a user. The three of the sales-contract window share one rights
// text (module M05, function H06); each other right has a text of its own.
enum class Right : unsigned {
    ContractAdd = 0x01,     // 增加: a progress record (增加5), and saving it; a contract (增加1), lines
    ContractEdit = 0x02,    // 修改: saving the progress record (更新7); a contract's header and lines
    ContractDelete = 0x04,  // 删除: deleting the progress record (删除6); a contract's lines
    Scan = 0x08,            // 扫描: the scan station and wip scan, without the contract window
    ReferenceData = 0x10,   // 资料: adding and changing reference data
    Import = 0x20,          // 导入: importing files
    Users = 0x40,           // 用户: users and rights
    Supervisor = 0x80,      // 主管: confirms at the department desk what a clerk may not (a gain of metal)
};
Q_DECLARE_FLAGS(Rights, Right)
Q_DECLARE_OPERATORS_FOR_FLAGS(Rights)

// Every right of Wip in one table: the module and function under which
// qxpd(user_code, module, function) finds its text in the rights table, and the
// plain words of the users window. A window asks for a right through
// RightsCatalogue::has; the texts are written by UserAdmin only.
//
// The sales-contract window reads the text of M05/H06 by its last letter and its
// second and third characters. The texts it always understood keep their
// meaning; three more name the combinations no single old text expresses:
//
//   增加 修改 删除   text    the window enables
//    x    x    x    X99A    增加5, 删除6, 更新7 (an "A" text: everything; also X08B)
//    x              X02B    增加5, 更新7
//         x         X03B    更新7
//              x    X04B    删除6, 更新7
//    x    x         X23B    增加5, 更新7
//    x         x    X24B    增加5, 删除6, 更新7
//         x    x    X34B    删除6, 更新7
//
// Each digit of a new text names an old text's right (2 add, 3 edit, 4 delete),
// and an older build reads a new text as no right at all rather than as more.
// The other rights are granted by the text X99A (any text ending in "A").
class RightsCatalogue
{
public:
    struct Entry
    {
        Right right;
        QString name;        // on the command line: add, edit, delete, scan, refdata, import, users, supervisor
        QString caption;     // the check box: "增加 add" ...
        QString group;       // the window it belongs to: "销售合约 Sales contracts" ...
        QString module;
        QString function;
    };
    static const QList<Entry> &all();
    static const Entry &entry(Right right);
    static const Entry *findByName(const QString &name);   // case-insensitive; nullptr when unknown
    static Rights every();

    static constexpr const char *contractModule = "M05";
    static constexpr const char *contractFunction = "H06";

    // The contract rights a text of M05/H06 grants, as the sales-contract window
    // reads it (a null or empty text grants none).
    static Rights contractRights(const QString &text);
    // The text that grants exactly these contract rights (the others are
    // ignored); a null QString for none.
    static QString contractText(Rights rights);
    // Whether the text of a right of its own grants it.
    static bool grants(const QString &text);
    static QString grantedText();          // "X99A"

    // The rights of a user, asking lookup for each text (qxpd or the rights table).
    using Lookup = std::function<QString(const QString &module, const QString &function)>;
    static Rights rightsOf(const Lookup &lookup);
    static bool has(Right right, const Lookup &lookup);

    // Each (module, function) text of a user who holds exactly these rights: a
    // null text where the user holds none of that text's rights.
    struct Text
    {
        QString module;
        QString function;
        QString text;
    };
    static QList<Text> textsFor(Rights rights);

    // "增加 add, 扫描 scan" (short: "增加 扫描") / the command-line names
    // "add,scan"; "" for none.
    static QString describe(Rights rights, bool shortWords = false);
    static QString names(Rights rights);
};

} // namespace wip
