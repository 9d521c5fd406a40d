#include "runtime/hosterror.h"

namespace wip {

HostError::HostError(int code, const QString &detail)
    : std::runtime_error(QStringLiteral("host error %1: %2").arg(code).arg(detail).toStdString())
    , m_code(code)
    , m_detail(detail)
{
}

} // namespace wip
