#include "store/DatabaseKey.h"

#include "store/LibraryFiles.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QPasswordDigestor>

namespace velmora::db {

namespace {

// Changing either constant makes every existing library file unreadable.
constexpr int kIterations = 20000;
constexpr char kSalt[] = "Velmora library file key v1";

std::string Derive(const std::string& password)
{
    const QByteArray key = QPasswordDigestor::deriveKeyPbkdf2(
        QCryptographicHash::Sha256, QByteArray::fromStdString(password),
        QByteArray(kSalt, sizeof kSalt - 1), kIterations, 32);
    return key.toHex().toStdString();
}

} // namespace

std::string DatabaseKeyHex(const std::string& databasePassword)
{
    static const std::string programKey = Derive(GetDatabasePassword());
    if (databasePassword == GetDatabasePassword())
        return programKey;
    return Derive(databasePassword);
}

} // namespace velmora::db
