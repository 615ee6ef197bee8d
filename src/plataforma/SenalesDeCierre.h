#pragma once
#include <QObject>

class QSocketNotifier;

// The system's requests to end the program, caught so that the program closes as its own close
// does, with the user's choices saved and the working table dropped, instead of dying with nothing
// saved. On POSIX systems: SIGTERM (a shutdown, `kill`), SIGHUP (the session or the terminal went
// away), SIGINT and SIGQUIT (Ctrl-C, Ctrl-\ at the terminal).
//
// The system's notice only notes the request; the event loop then emits `recibida`. A run without
// an event loop (the headless report) asks `llego()` as it goes. One object at a time; its
// destruction gives the requests back their default action.
class SenalesDeCierre : public QObject {
    Q_OBJECT
public:
    explicit SenalesDeCierre(QObject* padre = nullptr);
    ~SenalesDeCierre() override;
    static bool llego();

signals:
    void recibida();

private:
    QSocketNotifier* aviso_ = nullptr;
};
