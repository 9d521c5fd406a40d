#pragma once

#include <QByteArray>
#include <QMetaMethod>
#include <QObject>

#include <cstddef>
#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

namespace wip {

// Runs every event handler of the windows. A handler reads straight down: a host
// call that cannot be carried out throws HostError, and run() catches it, writes
// the trace line "*** WE HAVE A PROBLEM HERE. Error = <code> ***" (and a line
// naming the window, the event and the detail) and ends the handler. No message
// box is shown. Any other exception ends the handler the same way with ErrGeneric.
// Nothing ever leaves a handler into Qt's event loop.
class Dispatcher
{
public:
    // Returns true when the handler ran to its end.
    static bool run(QObject *window, const char *event, const std::function<void()> &handler);

    // Handlers that ended on an error since the program started (TriggerEvent
    // compares it before and after to tell whether the triggered handler failed).
    static int failureCount();
};

namespace detail {

template <typename F>
struct MemberFunction;

template <typename C, typename R, typename... A>
struct MemberFunction<R (C::*)(A...)>
{
    using Class = C;
    static constexpr std::size_t arity = sizeof...(A);
    template <typename F>
    static auto typedLambda(F f) { return [f](A... a) { f(a...); }; }
};

template <typename C, typename R, typename... A>
struct MemberFunction<R (C::*)(A...) const> : MemberFunction<R (C::*)(A...)>
{
};

template <typename Receiver, typename Handler, typename Tuple, std::size_t... I>
void callPrefix(Receiver *receiver, Handler handler, const Tuple &args, std::index_sequence<I...>)
{
    (receiver->*handler)(std::get<I>(args)...);
}

// Calls a window's handler with the first arguments of the signal it takes, or a
// callable with all of them or none. A function template of its own: clang
// instantiates every branch of an if constexpr in a lambda nested in a generic one.
template <typename Receiver, typename Handler, typename... Args>
void callHandler(Receiver *receiver, const Handler &handler, Args &...args)
{
    if constexpr (std::is_member_function_pointer_v<Handler>) {
        constexpr std::size_t n = MemberFunction<Handler>::arity;
        static_assert(n <= sizeof...(args), "the handler takes more arguments than the signal gives");
        callPrefix(receiver, handler, std::forward_as_tuple(args...), std::make_index_sequence<n>{});
    } else if constexpr (std::is_invocable_v<const Handler &, Args &...>) {
        handler(args...);
    } else {
        handler();
    }
}

template <typename Sender, typename Signal>
QByteArray eventName(const Sender *sender, Signal signal)
{
    const QByteArray method = QMetaMethod::fromSignal(signal).name();
    const QByteArray object = sender->objectName().toUtf8();
    return object.isEmpty() ? method : object + '_' + method;
}

// A control whose event may be refused right now offers refusesEvent(signal)
// (a button of a window whose date field holds a date that cannot be); on() asks
// it before running the handlers.
template <typename Sender, typename Signal>
bool refuses(Sender *sender, Signal signal)
{
    if constexpr (requires { sender->refusesEvent(signal); })
        return sender->refusesEvent(signal);
    else
        return false;
}

} // namespace detail

// Connects a control's event to a handler of the window, through the dispatcher:
//     on(cb_query, &CommandButton::clicked, this, &w_wip_today::cb_query_clicked);
//     on(ddlb_1, &DropDownListBox::selectionchanged, this, &w_scno_process::ddlb_1_selectionchanged);
// The handler takes the first N arguments of the signal (none for clicked(bool)).
// A lambda or other callable works too; it gets all the signal's arguments or none.
// A control may refuse an event before its handlers run (detail::refuses).
template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection on(Sender *sender, Signal signal, Receiver *receiver, Handler handler)
{
    const QByteArray name = detail::eventName(sender, signal);
    auto forward = [sender, signal, receiver, handler, name](auto &&...args) {
        if (detail::refuses(sender, signal))
            return;
        Dispatcher::run(receiver, name.constData(), [&] { detail::callHandler(receiver, handler, args...); });
    };
    return QObject::connect(sender, signal, receiver,
                            detail::MemberFunction<Signal>::typedLambda(std::move(forward)));
}

} // namespace wip
