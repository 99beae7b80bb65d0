#include "offline/ui/connectionstatus.h"

#include <QHBoxLayout>
#include <QLabel>

#include "offline/connection.h"

namespace vorel {

ConnectionStatus::ConnectionStatus(Connection &connection, QWidget *parent)
    : QWidget(parent), online_(new QLabel(Connection::OnlineCaption, this)),
      offline_(new QLabel(Connection::OfflineCaption, this))
{
    online_->setObjectName(QStringLiteral("LAB_ONLINE"));
    online_->setStyleSheet(QStringLiteral("color: #7CFC00; font-weight: bold;"));
    offline_->setObjectName(QStringLiteral("LAB_OFFLINE"));
    offline_->setStyleSheet(QStringLiteral("color: #FF4040; font-weight: bold;"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(online_);
    row->addWidget(offline_);
    connect(&connection, &Connection::statusChanged, this, &ConnectionStatus::showOffline);
    showOffline(connection.showsOffline());
}

void ConnectionStatus::showOffline(bool offline)
{
    online_->setVisible(!offline);
    offline_->setVisible(offline);
}

} // namespace vorel
