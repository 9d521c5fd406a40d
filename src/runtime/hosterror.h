#pragma once

#include <QString>
#include <stdexcept>

namespace wip {

// Codes of the host failures. The trace line shows the number.
enum HostErrorCode : int {
    ErrGeneric = 1,
    ErrNullObject = 4,            // a reference that is not set (a window not open, a null object)
    ErrUnknownDefinition = 10,    // dataobject names no definition
    ErrRowOutOfRange = 11,
    ErrUnknownColumn = 12,
    ErrBadExpression = 13,
    ErrModifyFailed = 14,
    ErrBadArgument = 15,          // a retrieval argument of the wrong kind or count
    ErrNoTransaction = 16,        // Retrieve without SetTransObject
    ErrArrayBounds = 17,          // an array read past its upper bound or below 1
    ErrFileWrite = 20,
    ErrFileRead = 21,
    ErrAutomation = 30,
    ErrDatabase = 40,
    ErrNotConnected = 41,
    ErrBadValue = 50,
};

// A host call that cannot be carried out throws HostError. The event dispatcher
// catches it, writes the trace line and ends the handler (see runtime/trace.h).
class HostError : public std::runtime_error
{
public:
    explicit HostError(int code, const QString &detail = QString());

    int code() const { return m_code; }
    QString detail() const { return m_detail; }

private:
    int m_code;
    QString m_detail;
};

} // namespace wip
