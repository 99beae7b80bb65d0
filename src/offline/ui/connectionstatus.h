#pragma once
// The two status labels of the sales screen, LAB_ONLINE "连线" and LAB_OFFLINE "离线": one
// of them shows, following the connection's status.

#include <QWidget>

class QLabel;

namespace vorel {

class Connection;

class ConnectionStatus final : public QWidget {
    Q_OBJECT

public:
    explicit ConnectionStatus(Connection &connection, QWidget *parent = nullptr);

    QLabel *onlineLabel() const { return online_; }
    QLabel *offlineLabel() const { return offline_; }
    void showOffline(bool offline);

private:
    QLabel *online_;
    QLabel *offline_;
};

} // namespace vorel
