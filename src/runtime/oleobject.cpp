#include "runtime/oleobject.h"

#include "runtime/hosterror.h"

namespace wip {

OleObject::OleObject() = default;
OleObject::~OleObject() = default;

int OleObject::ConnectToNewObject(const QString &server)
{
    detachSheets();
    m_visible = false;
    if (server.trimmed().compare(QLatin1String("Excel.Application"), Qt::CaseInsensitive) != 0) {
        m_state = State::Unconnected;
        return -1;
    }
    m_state = State::Connected;
    return 0;
}

int OleObject::DisconnectObject()
{
    checkUsable();
    detachSheets();
    m_state = State::Unconnected;
    return 0;
}

bool OleObject::isConnected() const
{
    return m_state == State::Connected;
}

void OleObject::checkUsable() const
{
    switch (m_state) {
    case State::Unconnected:
        throw HostError(ErrNullObject, QStringLiteral("automation object not connected"));
    case State::Quit:
        // DisconnectObject after quit() is the normal end of a handler.
        return;
    case State::Connected:
        return;
    }
}

void OleObject::workbooksAdd()
{
    if (m_state != State::Connected)
        throw HostError(ErrNullObject, QStringLiteral("automation object not connected"));
    m_sheets.push_back(std::make_unique<OleWorksheet>());
    m_current = m_sheets.back().get();
    m_current->setShownWhenSaved(m_visible);
}

void OleObject::setVisible(bool visible)
{
    if (m_state != State::Connected)
        throw HostError(ErrNullObject, QStringLiteral("automation object not connected"));
    m_visible = visible;
    if (m_current)
        m_current->setShownWhenSaved(visible);
}

bool OleObject::visible() const
{
    return m_state == State::Connected && m_visible;
}

OleWorksheet *OleObject::worksheets(int n)
{
    if (m_state != State::Connected)
        throw HostError(ErrNullObject, QStringLiteral("automation object not connected"));
    if (!m_current)
        throw HostError(ErrAutomation, QStringLiteral("worksheets(%1): no workbook").arg(n));
    if (n != 1)
        throw HostError(ErrAutomation, QStringLiteral("worksheets(%1): the workbook has one worksheet").arg(n));
    return m_current;
}

void OleObject::quit()
{
    if (m_state != State::Connected)
        throw HostError(ErrNullObject, QStringLiteral("automation object not connected"));
    detachSheets();
    m_state = State::Quit;
}

void OleObject::detachSheets()
{
    for (const auto &sheet : m_sheets)
        sheet->detach();
    m_current = nullptr;
}

} // namespace wip
