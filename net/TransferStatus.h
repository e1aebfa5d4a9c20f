// What a window shows while its HTTP component works: a text in its status
// bar for each step, a box for a failed connection, a query for another host,
// and (in the import window) the states of its start and cancel buttons.
#pragma once

#include <QObject>
#include <QPointer>
#include <string_view>

#include "net/NMHTTP.h"

class QAbstractButton;
class QWidget;
class StatusBar;

class TransferStatus : public QObject {
public:
    // Binds the component's ten events. start and cancel are optional: the
    // window whose handlers also switch its buttons passes them.
    TransferStatus(TNMHTTP* http, QWidget* owner, StatusBar* bar, QAbstractButton* start = nullptr,
                   QAbstractButton* cancel = nullptr);

    // The "中止" button: asks, and cancels the running transfer on Yes (true).
    bool AskCancel();

private:
    void Show(std::string_view text);
    void SetBusy(bool busy);

    QPointer<TNMHTTP> http_;
    QWidget* owner_;
    QPointer<StatusBar> bar_;
    QPointer<QAbstractButton> start_;
    QPointer<QAbstractButton> cancel_;
};
