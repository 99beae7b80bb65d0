#pragma once
// A copy of the shipped clean local store in a temporary folder, opened.

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "offline/localstore.h"

namespace vorel::test {

inline std::unique_ptr<LocalStore> freshLocalStore(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QString::fromLatin1(LocalStoreFileName));
    EXPECT_TRUE(QFile::copy(LocalStore::shippedCleanCopy(), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    auto store = std::make_unique<LocalStore>(path);
    store->open();
    return store;
}

} // namespace vorel::test
