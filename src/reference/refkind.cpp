#include "reference/refkind.h"

namespace wip::reference {

namespace {

using F = RefKind::FieldType;

RefKind::Field makeField(const char *name, const char *caption, F type, bool required = false)
{
    RefKind::Field f;
    f.name = QString::fromLatin1(name);
    f.caption = QString::fromUtf8(caption);
    f.type = type;
    f.required = required;
    return f;
}

RefKind::Field code(const char *name, const char *caption, int maxLength = 20)
{
    RefKind::Field f = makeField(name, caption, F::Code, true);
    f.maxLength = maxLength;
    return f;
}

RefKind::Field text(const char *name, const char *caption, bool required = false)
{
    return makeField(name, caption, F::Text, required);
}

RefKind::Field reference(const char *name, const char *caption, const char *kind)
{
    RefKind::Field f = makeField(name, caption, F::Reference, true);
    f.refKind = QString::fromLatin1(kind);
    return f;
}

RefKind::Field active()
{
    return makeField("active", "使用中 Active", F::Active);
}

RefKind kindOf(const char *name, const char *caption, const char *table, const char *key, const char *filter = "")
{
    RefKind k;
    k.name = QString::fromLatin1(name);
    k.caption = QString::fromUtf8(caption);
    k.table = QString::fromLatin1(table);
    k.keyField = QString::fromLatin1(key);
    k.filter = QString::fromLatin1(filter);
    return k;
}

// The places where a material's code (metal or stone) is used.
QList<RefKind::Use> materialUses()
{
    return {{"matuse", "mcode", "工序用料 material of steps"},
            {"jcjl_mattran", "mcode", "转仓 transfers"},
            {"cumind", "mcode", "发料 material issued"},
            {"work_report", "mcode", "工人单 worker sheets"},
            {"flreturn", "mcode", "退料 returns"},
            {"jcjl_wlly", "mcode", "物料来源 material by origin"}};
}

RefKind customers()
{
    RefKind k = kindOf("customers", "客户 Customers", "customer", "cust_no");
    k.fields = {code("cust_no", "客户编号 Customer"), text("cust_name", "名称 Name"), text("contact", "联系 Contact"),
                active()};
    k.uses = {{"sconh", "cust_no", "销售合约 contracts"},
              {"work_report", "cust", "工人单 worker sheets"},
              {"work_wip", "cust_no", "工人在做 work in hand"},
              {"jcjl_mattran", "client_no", "转仓 transfers"}};
    return k;
}

RefKind metals()
{
    RefKind k = kindOf("metals", "成色 Metals", "material", "mcode", "mtype in ('GOLD', 'PT')");
    RefKind::Field type = makeField("mtype", "类别 Type", F::Choice, true);
    type.choices = {QStringLiteral("GOLD"), QStringLiteral("PT")};
    RefKind::Field purity = makeField("purate", "成色 Purity", F::Decimal, true);
    purity.places = 3;
    k.fields = {code("mcode", "成色代码 Metal"), type, purity, text("hallmark", "字印 Hallmark"), text("mname", "名称 Name"),
                active()};
    k.uses = QList<RefKind::Use>{{"scond", "metal", "合约明细 contract lines"},
                                 {"castind", "mcode", "倒模 castings"},
                                 {"jcjl_mattran", "metal", "转仓 transfers"}}
        + materialUses();
    return k;
}

RefKind stones()
{
    RefKind k = kindOf("stones", "石料 Stones", "material", "mcode", "mtype = 'STONE'");
    k.fixedValues = {{QStringLiteral("mtype"), QStringLiteral("STONE")}};
    k.fields = {code("mcode", "石料代码 Stone"), text("mname", "名称 Name"), text("unit", "单位 Unit"), active()};
    k.uses = QList<RefKind::Use>{{"artsd", "stone_code", "款式 styles"}} + materialUses();
    return k;
}

RefKind setTypes()
{
    RefKind k = kindOf("settypes", "镶法 Setting methods", "settype", "settype_code");
    k.fields = {code("settype_code", "镶法 Setting"), text("settype_name", "名称 Name"), active()};
    k.uses = {{"artsd", "settype_code", "款式 styles"}, {"matuse", "waycode", "工序用料 material of steps"}};
    return k;
}

RefKind artTypes()
{
    RefKind k = kindOf("arttypes", "产品类别 Types", "arttype", "arttype_code");
    k.fields = {code("arttype_code", "产品类别 Type"), text("arttype_name", "名称 Name"), active()};
    k.uses = {{"article", "arttype_code", "款式 styles"}};
    return k;
}

RefKind styles()
{
    RefKind k = kindOf("styles", "款式 Styles", "article", "article_code");
    RefKind::Field pictureName = text("pic_name", "图片 Picture");
    RefKind::Field pictureFile = makeField("picture", "图片文件 Picture file", F::PictureFile);
    pictureFile.maxLength = 1000;
    k.fields = {code("article_code", "款号 Article"), reference("arttype_code", "产品类别 Type", "arttypes"), pictureName,
                pictureFile, active()};
    k.uses = {{"scond", "article_code", "合约明细 contract lines"}, {"work_report", "article_code", "工人单 worker sheets"}};
    k.hasStones = true;
    return k;
}

RefKind workers()
{
    RefKind k = kindOf("workers", "工人 Workers", "worker", "changhao");
    k.fields = {code("changhao", "工号 Worker no."), text("xingming", "姓名 Name", true),
                reference("gongxu_code", "部门 Department", "processes"), active()};
    k.uses = {{"proch", "changhao", "工序 steps"},
              {"proch_new", "changhao", "工序 steps"},
              {"matuse", "changhao", "工序用料 material of steps"},
              {"work_report", "changhao", "工人单 worker sheets"},
              {"work_wip", "changhao", "工人在做 work in hand"},
              {"flreturn", "changhao", "退料 returns"},
              {"jcjl_mattran", "gonghao", "转仓 transfers"}};
    return k;
}

// The loss a worker may make at a process, in percent of the metal issued: for a
// metal code, a metal family (18K, PT950) or, without a metal, the process's
// default. The key is made of the process and the metal.
RefKind allowances()
{
    RefKind k = kindOf("allowances", "允许耗 Allowances", "loss_allowance", "allowance_key");
    RefKind::Field key = code("allowance_key", "代码 Key", 60);
    key.editable = false;
    RefKind::Field metal = text("metal", "成色 Metal (空=工序默认 default)");
    metal.maxLength = 20;
    RefKind::Field rate = makeField("rate", "允许耗% Allowance %", F::Decimal, true);
    k.fields = {key, reference("gongxu_code", "工序 Process", "processes"), metal, rate};
    k.keyParts = {QStringLiteral("gongxu_code"), QStringLiteral("metal")};
    return k;
}

// Metal a refinery gave back from a department's sweepings and filings over a
// period, with who entered it and when.
RefKind recoveries()
{
    RefKind k = kindOf("recoveries", "回收 Recovered", "metal_recovery", "recovery_key");
    RefKind::Field key = code("recovery_key", "代码 Key", 80);
    key.editable = false;
    RefKind::Field grams = makeField("grams", "回收克数 Grams", F::Decimal, true);
    grams.places = 3;
    RefKind::Field by = text("entered_by", "录入 Entered by");
    by.editable = false;
    RefKind::Field at = makeField("entered_at", "录入时间 Entered at", F::Moment);
    at.editable = false;
    k.fields = {key,
                reference("gongxu_code", "部门 Department", "processes"),
                reference("mcode", "成色 Metal", "metals"),
                makeField("period_start", "开始 From", F::Date, true),
                makeField("period_end", "结束 To", F::Date, true),
                grams,
                by,
                at};
    k.keyParts = {QStringLiteral("gongxu_code"), QStringLiteral("mcode"), QStringLiteral("period_start"),
                  QStringLiteral("period_end")};
    k.stampUser = QStringLiteral("entered_by");
    k.stampTime = QStringLiteral("entered_at");
    return k;
}

// The process and stock codes are the keys the reports select by: their names
// may change, the codes may not, and none is added or removed here.
RefKind fixedCodes(const char *name, const char *caption, const char *table, const char *key, const char *keyCaption,
                   const char *nameColumn)
{
    RefKind k = kindOf(name, caption, table, key);
    RefKind::Field codeField = code(key, keyCaption, 40);
    codeField.editable = false;
    k.fields = {codeField, text(nameColumn, "名称 Name")};
    k.canAdd = false;
    return k;
}

} // namespace

const RefKind::Field *RefKind::field(const QString &n) const
{
    for (const Field &f : fields) {
        if (f.name == n)
            return &f;
    }
    return nullptr;
}

QList<RefKind::Field> RefKind::columnFields() const
{
    QList<Field> list;
    for (const Field &f : fields) {
        if (f.type != FieldType::PictureFile)
            list.append(f);
    }
    return list;
}

bool RefKind::hasActive() const
{
    return field(QStringLiteral("active")) != nullptr;
}

const QList<RefKind::Field> &RefKind::stoneFields()
{
    static const QList<Field> list = [] {
        const Field perPiece = makeField("qtycal", "每件粒数 Per piece", FieldType::Decimal, true);
        return QList<Field>{reference("stone_code", "石料 Stone", "stones"),
                            reference("settype_code", "镶法 Setting", "settypes"), perPiece};
    }();
    return list;
}

const QList<RefKind> &RefKind::all()
{
    static const QList<RefKind> list{
        customers(),
        metals(),
        stones(),
        setTypes(),
        artTypes(),
        styles(),
        workers(),
        fixedCodes("processes", "工序 Processes", "gongxu", "gongxu_code", "工序代码 Code", "gongxu_name"),
        fixedCodes("stocks", "仓位 Stocks", "stock", "stock_code", "仓位代码 Code", "stock_name"),
        allowances(),
        recoveries(),
    };
    return list;
}

const RefKind *RefKind::find(const QString &name)
{
    for (const RefKind &k : all()) {
        if (k.name.compare(name, Qt::CaseInsensitive) == 0)
            return &k;
    }
    return nullptr;
}

const RefKind &RefKind::get(const QString &name)
{
    const RefKind *k = find(name);
    Q_ASSERT_X(k, "RefKind::get", qPrintable(name));
    return *k;
}

} // namespace wip::reference
