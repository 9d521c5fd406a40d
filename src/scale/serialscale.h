#pragma once

#include "scale/scalereading.h"
#include "scale/scaleport.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

namespace wip {

// The scale on a desk's serial port, read as it sends: each stable weight is
// handed on once (stableWeight) until the scale shows another weight, is
// emptied (a reading of zero) or stops answering, so that a bag put on the
// scale gives its weight once however many lines the scale repeats it in. A
// moving weight is only shown, never handed on; a line that is no weight Wip
// may take (kilograms with more than three places of grams, a negative weight,
// an overload) or not a scale's line at all says why in the state. A scale
// that sends no line for silenceTimeout (1.5 s) is said not to answer at once;
// a port that cannot be opened, or is pulled out, is named with the reason.
//
// The desk window connects stableWeight to its weight field and shows
// statusText() (stateChanged) beside it; weights typed on the keyboard need none
// of this. SerialScale owns its port and its timer; it lives in the thread of
// the window that made it.
class SerialScale : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Closed,     // no port open: weights are typed
        Failed,     // the port could not be opened or was lost
        Waiting,    // open, no line yet
        Stable,     // a steady weight (currentWeight)
        Unstable,   // the weight is moving
        Empty,      // a steady zero: nothing on the scale
        Refused,    // a steady line that is no weight Wip may take
        Garbled,    // lines that are no scale's (a wrong speed or frame)
        Silent,     // no line for silenceTimeout
    };
    Q_ENUM(State)

    explicit SerialScale(QObject *parent = nullptr);
    ~SerialScale() override;

    // Opens the port of the settings (ScalePort::fromSettings). False in state
    // Closed when no port is set, in state Failed when the settings do not read
    // or the port does not open.
    bool openFromSettings();
    bool open(const ScalePort &port);
    void close();

    State state() const { return m_state; }
    QString statusText() const { return m_text; }
    // The grams of the latest reading while it is stable and not zero, else empty.
    QString currentWeight() const { return m_state == State::Stable ? m_taken : QString(); }
    QString portName() const { return m_portName; }

    void setSilenceTimeout(int milliseconds);
    int silenceTimeout() const { return m_silence.interval(); }

Q_SIGNALS:
    // A new stable weight in grams, the text DeskInput::weight reads ("12.345").
    void stableWeight(const QString &grams);
    void stateChanged(wip::SerialScale::State state, const QString &text);

private:
    void shut();   // closes the port without a state
    void readLines();
    void take(QByteArrayView line);
    void portError(QSerialPort::SerialPortError error);
    void silent();
    void setState(State state, const QString &text);
    QString openFailure() const;

    QSerialPort m_port;
    QTimer m_silence;
    QByteArray m_buffer;
    QString m_portName;
    int m_opening = 0;   // counts close() (open() closes first)
    QString m_taken;   // the stable weight handed on last; empty: the next one is handed on
    State m_state = State::Closed;
    QString m_text;
};

} // namespace wip
