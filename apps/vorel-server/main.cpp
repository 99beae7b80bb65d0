// vorel-server: the shop database service, and the tools to create and query a shop.

#include <QCoreApplication>

#include "core/heapslack.h"
#include "server/servercli.h"

int main(int argc, char *argv[])
{
    vorel::keepHeapSlack();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vorel-server"));
    return vorel::server::runCommandLine(QCoreApplication::arguments());
}
