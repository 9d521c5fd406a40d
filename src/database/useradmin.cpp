#include "database/useradmin.h"

#include "database/passwordhash.h"
#include "runtime/cursor.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"

#include <QHash>
#include <QRegularExpression>

#include <utility>

namespace wip {

namespace {

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QString userField(const QString &code, const char *what)
{
    return QStringLiteral("user:%1:%2").arg(code, QLatin1String(what));
}

AuditLog::Change change(const QString &field, const QVariant &oldValue, const QVariant &newValue)
{
    return {QString(), QVariant(), field, oldValue, newValue};
}

QVariant nullText()
{
    return QVariant(QMetaType::fromType<QString>());
}

QString rightsKey(const QString &module, const QString &function)
{
    return module + QLatin1Char('/') + function;
}

} // namespace

UserAdmin::UserAdmin(Transaction &tr, AuditSource who)
    : m_tr(tr)
    , m_who(std::move(who))
{
}

QString UserAdmin::codeProblem(const QString &code)
{
    static const QRegularExpression allowed(QStringLiteral("^[\\p{L}\\p{N}_.-]+$"));
    const QString c = code.trimmed();
    if (c.isEmpty() || c.size() > maximumCodeLength || !allowed.match(c).hasMatch())
        return QStringLiteral("用户编号只能用字母、数字和 _ - . (最多 %1 个字)。\n"
                              "A user code is 1 to %1 letters, digits, _, - or .")
            .arg(maximumCodeLength);
    return QString();
}

QString UserAdmin::passwordProblem(const QString &password)
{
    if (password.size() < minimumPasswordLength)
        return QStringLiteral("密码至少要 %1 个字。\nA password has at least %1 characters.")
            .arg(minimumPasswordLength);
    return QString();
}

bool UserAdmin::refuse(const QString &why)
{
    m_error = why;
    return false;
}

bool UserAdmin::failed()
{
    m_error = QStringLiteral("数据库错误, 没有改动。\nNothing was changed: %1").arg(m_tr.sqlErrText);
    return false;
}

std::optional<UserInfo> UserAdmin::find(const QString &code)
{
    const QString wanted = code.trimmed();
    Cursor users(m_tr,
                 QStringLiteral("select user_code, user_name, coalesce(active, 1), coalesce(must_change, 0) "
                                "from users where upper(user_code) = upper(?)"),
                 {wanted});
    QList<UserInfo> found;
    if (users.open()) {
        while (const auto row = users.fetch())
            found.append({row->at(0).toString(), row->at(1).toString(), row->at(2).toInt() != 0,
                          row->at(3).toInt() != 0, {}});
    }
    const bool broken = m_tr.sqlCode == -1;
    users.close();
    if (broken) {
        failed();
        return std::nullopt;
    }
    // As the login: the only one in any case, else the exact spelling.
    std::optional<UserInfo> match;
    if (found.size() == 1)
        match = found.first();
    for (const UserInfo &u : std::as_const(found)) {
        if (u.code == wanted)
            match = u;
    }
    if (!match) {
        refuse(QStringLiteral("没有用户 %1。\nThere is no user %1.").arg(wanted));
        return std::nullopt;
    }
    Cursor rights(m_tr, QStringLiteral("select module, function, rights from rights where user_code = ?"),
                  {match->code});
    QHash<QString, QString> texts;
    if (rights.open()) {
        while (const auto row = rights.fetch())
            texts.insert(rightsKey(row->at(0).toString(), row->at(1).toString()), row->at(2).toString());
    }
    const bool unreadable = m_tr.sqlCode == -1;
    rights.close();
    if (unreadable) {
        failed();
        return std::nullopt;
    }
    match->rights = RightsCatalogue::rightsOf(
        [&texts](const QString &module, const QString &function) { return texts.value(rightsKey(module, function)); });
    return match;
}

std::optional<UserInfo> UserAdmin::user(const QString &code)
{
    m_error.clear();
    return find(code);
}

std::optional<QList<UserInfo>> UserAdmin::users()
{
    m_error.clear();
    Cursor codes(m_tr, QStringLiteral("select user_code from users order by user_code"));
    QStringList list;
    if (codes.open()) {
        while (const auto row = codes.fetch())
            list << row->at(0).toString();
    }
    const bool broken = m_tr.sqlCode == -1;
    codes.close();
    if (broken) {
        failed();
        return std::nullopt;
    }
    QList<UserInfo> users;
    for (const QString &code : std::as_const(list)) {
        const auto info = find(code);
        if (!info)
            return std::nullopt;
        users.append(*info);
    }
    return users;
}

std::optional<bool> UserAdmin::hasUsers(Transaction &tr)
{
    const auto row = tr.selectInto(QStringLiteral("select count(*) from users"));
    if (!row)
        return std::nullopt;
    return row->at(0).toLongLong() > 0;
}

// Active users holding the users right.
std::optional<int> UserAdmin::administrators()
{
    const RightsCatalogue::Entry &users = RightsCatalogue::entry(Right::Users);
    Cursor rows(m_tr,
                QStringLiteral("select r.rights from users u join rights r on r.user_code = u.user_code "
                               "where coalesce(u.active, 1) <> 0 and r.module = ? and r.function = ?"),
                {users.module, users.function});
    int count = 0;
    if (rows.open()) {
        while (const auto row = rows.fetch())
            count += RightsCatalogue::grants(row->at(0).toString()) ? 1 : 0;
    }
    const bool broken = m_tr.sqlCode == -1;
    rows.close();
    if (broken) {
        failed();
        return std::nullopt;
    }
    return count;
}

bool UserAdmin::keepsAnAdministrator(int before)
{
    const std::optional<int> after = administrators();
    if (!after)
        return false;
    if (before > 0 && *after == 0)
        return refuse(QStringLiteral("至少要有一位在用的用户有「用户」权限。\n"
                                     "At least one active user must keep the users right."));
    return true;
}

bool UserAdmin::writeRights(const UserInfo &user, Rights rights, QList<AuditLog::Change> *changes)
{
    for (const RightsCatalogue::Text &t : RightsCatalogue::textsFor(rights)) {
        const auto old = m_tr.selectInto(
            QStringLiteral("select rights from rights where user_code = ? and module = ? and function = ?"),
            {user.code, t.module, t.function});
        if (!old && m_tr.sqlCode == -1)
            return false;
        const QString before = old ? old->at(0).toString() : QString();
        const bool same = old ? !t.text.isNull() && before == t.text : t.text.isNull();
        if (same)
            continue;
        if (!m_tr.execute(QStringLiteral("delete from rights where user_code = ? and module = ? and function = ?"),
                          {user.code, t.module, t.function}))
            return false;
        if (!t.text.isNull()
            && !m_tr.execute(QStringLiteral("insert into rights (user_code, module, function, rights) "
                                            "values (?, ?, ?, ?)"),
                             {user.code, t.module, t.function, t.text}))
            return false;
        changes->append(change(QStringLiteral("rights:%1:%2").arg(user.code, rightsKey(t.module, t.function)),
                               old ? QVariant(before) : nullText(), t.text.isNull() ? nullText() : QVariant(t.text)));
    }
    return true;
}

bool UserAdmin::addUser(const QString &code, const QString &name, const QString &password, Rights rights,
                        bool mustChange)
{
    m_error.clear();
    const QString c = code.trimmed();
    if (const QString why = codeProblem(c); !why.isEmpty())
        return refuse(why);
    if (const QString why = passwordProblem(password); !why.isEmpty())
        return refuse(why);
    TransactionGuard guard(m_tr);
    const auto taken = m_tr.selectInto(QStringLiteral("select user_code from users where upper(user_code) = upper(?)"),
                                       {c});
    if (taken)
        return refuse(QStringLiteral("用户编号 %1 已经有了 (%2)。\nThe user code %1 is taken (by %2).")
                          .arg(c, taken->at(0).toString()));
    if (m_tr.sqlCode == -1)
        return failed();
    if (!m_tr.execute(QStringLiteral("insert into users (user_code, user_name, password_hash, active, must_change) "
                                     "values (?, ?, ?, 1, ?)"),
                      {c, name.trimmed(), PasswordHash::hash(password), mustChange ? 1 : 0}))
        return failed();
    QList<AuditLog::Change> changes{
        change(userField(c, "name"), nullText(), name.trimmed()),
        change(userField(c, "active"), nullText(), flag(true)),
        change(userField(c, "password"), nullText(), QStringLiteral("(set)")),
        change(userField(c, "must_change"), nullText(), flag(mustChange)),
    };
    const UserInfo added{c, name.trimmed(), true, mustChange, {}};
    if (!writeRights(added, rights, &changes) || !AuditLog::write(m_tr, m_who, changes))
        return failed();
    return guard.commit() || failed();
}

bool UserAdmin::setActive(const QString &code, bool active)
{
    m_error.clear();
    TransactionGuard guard(m_tr);
    const auto u = find(code);
    if (!u)
        return false;
    if (!active && u->code.compare(m_who.user, Qt::CaseInsensitive) == 0)
        return refuse(QStringLiteral("不能停用自己。\nYou cannot disable yourself."));
    if (u->active == active)
        return true;
    const std::optional<int> before = administrators();
    if (!before)
        return false;
    if (!m_tr.execute(QStringLiteral("update users set active = ? where user_code = ?"), {active ? 1 : 0, u->code}))
        return failed();
    if (!keepsAnAdministrator(*before))
        return false;
    if (!AuditLog::write(m_tr, m_who, {change(userField(u->code, "active"), flag(u->active), flag(active))}))
        return failed();
    return guard.commit() || failed();
}

bool UserAdmin::setPassword(const UserInfo &user, const QString &password, bool mustChange, const QString &how)
{
    if (!m_tr.execute(QStringLiteral("update users set password_hash = ?, must_change = ? where user_code = ?"),
                      {PasswordHash::hash(password), mustChange ? 1 : 0, user.code}))
        return failed();
    QList<AuditLog::Change> changes{change(userField(user.code, "password"), nullText(), how)};
    if (user.mustChange != mustChange)
        changes.append(change(userField(user.code, "must_change"), flag(user.mustChange), flag(mustChange)));
    return AuditLog::write(m_tr, m_who, changes) || failed();
}

bool UserAdmin::resetPassword(const QString &code, const QString &password)
{
    m_error.clear();
    if (const QString why = passwordProblem(password); !why.isEmpty())
        return refuse(why);
    TransactionGuard guard(m_tr);
    const auto u = find(code);
    if (!u)
        return false;
    if (!setPassword(*u, password, true, QStringLiteral("(reset)")))
        return false;
    return guard.commit() || failed();
}

bool UserAdmin::changeOwnPassword(const QString &code, const QString &oldPassword, const QString &newPassword)
{
    m_error.clear();
    if (const QString why = passwordProblem(newPassword); !why.isEmpty())
        return refuse(why);
    if (newPassword == oldPassword)
        return refuse(QStringLiteral("新密码不能与旧密码相同。\nThe new password must differ from the old one."));
    TransactionGuard guard(m_tr);
    const auto u = find(code);
    if (!u)
        return false;
    const auto stored = m_tr.selectInto(QStringLiteral("select password_hash from users where user_code = ?"),
                                        {u->code});
    if (!stored)
        return failed();
    if (!PasswordHash::verify(oldPassword, stored->at(0).toString()))
        return refuse(QStringLiteral("旧密码不正确。\nThe old password is wrong."));
    if (!setPassword(*u, newPassword, false, QStringLiteral("(changed)")))
        return false;
    return guard.commit() || failed();
}

bool UserAdmin::setRights(const QString &code, Rights rights)
{
    m_error.clear();
    TransactionGuard guard(m_tr);
    const auto u = find(code);
    if (!u)
        return false;
    const std::optional<int> before = administrators();
    if (!before)
        return false;
    QList<AuditLog::Change> changes;
    if (!writeRights(*u, rights, &changes))
        return failed();
    if (!keepsAnAdministrator(*before))
        return false;
    if (!AuditLog::write(m_tr, m_who, changes))
        return failed();
    return guard.commit() || failed();
}

} // namespace wip
