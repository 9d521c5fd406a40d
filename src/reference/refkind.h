#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace wip::reference {

// One kind of the factory's reference data, described as data: the table it is
// kept in, its fields (the columns a window shows and a spreadsheet row
// gives), and where else its codes are used. The validation, the save and the
// window read these descriptions; nothing is written per kind.
//
//   customers  customer                       cust_no, cust_name, contact, active
//   metals     material (mtype GOLD or PT)    mcode, mtype, purate, hallmark, mname, active
//   stones     material (mtype STONE)         mcode, mname, unit, active
//   settypes   settype                        settype_code, settype_name, active
//   arttypes   arttype                        arttype_code, arttype_name, active
//   styles     article, with artsd as stones  article_code, arttype_code, pic_name, picture, active
//   workers    worker                         changhao, xingming, gongxu_code, active
//   processes  gongxu                         gongxu_code (fixed), gongxu_name
//   stocks     stock                          stock_code (fixed), stock_name
//   allowances loss_allowance                 allowance_key (made), gongxu_code, metal, rate
//   recoveries metal_recovery                 recovery_key (made), gongxu_code, mcode, period_start,
//                                             period_end, grams, entered_by, entered_at (stamped)
// The styles' picture fields: the file chosen on this computer (never a column),
// and the name it is kept under in the factory's picture folder.
inline const QString kPictureFile = QStringLiteral("picture");
inline const QString kPictureName = QStringLiteral("pic_name");

class RefKind
{
public:
    enum class FieldType {
        Code,        // the key: required, unique, never changed once saved
        Text,        // free text on one line
        Decimal,     // an exact decimal of at most three places
        Choice,      // one of `choices`
        Reference,   // a code of another kind (`refKind`)
        Active,      // in use (1) or made inactive (0)
        PictureFile, // a picture file on this computer, copied into the picture folder on save
        Date,        // a calendar day, "2026-12-01"
        Moment       // a date and time, "2026-12-01 14:30:00" (stamped by the save)
    };

    struct Field
    {
        QString name;             // the column, and the field's name in plain rows
        QString caption;          // "代码 Code"
        FieldType type = FieldType::Text;
        bool required = false;
        bool editable = true;     // false: shown only (the codes of processes and stocks)
        QString refKind;          // Reference: the kind whose codes it takes
        QStringList choices;      // Choice: the values allowed
        int places = -1;          // Decimal: places shown (-1: as many as it has)
        int maxLength = 100;
    };

    // A table column that holds this kind's codes: a code found there is in use.
    struct Use
    {
        QString table;
        QString column;
        QString caption;          // "合约明细 contract lines"
    };

    QString name;                 // customers, metals ... (wip import --kind)
    QString caption;              // the tab: "客户 Customers"
    QString table;
    QString keyField;
    QString filter;               // SQL condition choosing this kind's rows of the table; empty: all
    QList<QPair<QString, QString>> fixedValues;   // columns every new row gets (mtype STONE)
    QList<Field> fields;
    QList<Use> uses;
    bool canAdd = true;           // false: the codes are fixed keys; only names change
    bool hasStones = false;       // styles: stones per piece with their setting method (artsd)
    // The key is made of these fields' values, joined by "/" (an empty one as
    // "*"), not typed: an allowance is "04-执模/18K". Empty: the key is typed.
    QStringList keyParts;
    // Fields the save fills with who saves the row and when (a row added or
    // changed): the user's code and the moment. Empty: none.
    QString stampUser;
    QString stampTime;

    const Field *field(const QString &name) const;   // nullptr when the kind has none
    const Field &key() const { return *field(keyField); }
    // The fields kept in a column of the table (all but a picture file).
    QList<Field> columnFields() const;
    bool hasActive() const;

    // The stone lines of a style: stone, setting method, stones per piece.
    static const QList<Field> &stoneFields();

    static const QList<RefKind> &all();
    static const RefKind *find(const QString &name);   // nullptr when unknown
    static const RefKind &get(const QString &name);    // one of all(); asserts it is
};

} // namespace wip::reference
