#pragma once

#include "store/Connection.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora {

class TBlowfish;
class ProgressRoutines;

// What RecoverInterruptedWork found to finish or take back.
struct RecoveryReport {
    int addsTakenBack = 0;
    int deletesFinished = 0;
    bool passwordChangeFinished = false;
    // Work that has to wait (for disk space), each with the reason, as the user is told.
    std::vector<std::string> postponed;
};

// The open library as the main window holds it: the connection mainConn, the
// library cipher, and the password scheme (check value, recovery copy, change).
class Library {
public:
    Library();
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Opens mainConn on the main database of the data folder, giving a library made by
    // an earlier version the tables this one keeps. Raises db::DatabaseError.
    void Open();
    // Every opening of a library, in every program, runs this before anything else:
    // it takes back adds whose process ended before completing them, finishes
    // interrupted deletes and, once the library key is known, an interrupted password
    // change (with the progress window). Work that cannot be done for want of disk
    // space waits for the next opening; reading needs none of it.
    RecoveryReport RecoverInterruptedWork(ProgressRoutines& progress);
    db::Connection& MainConnection() { return m_mainConn; }

    // Checks candidate against the check value; on a library never opened, makes it
    // the password (PasswordRefused when it cannot be one). On acceptance the library
    // key and cipher take it over.
    bool VerifyPassword(const std::string& candidate, bool base64);
    // False while the library has never been given a password: the first one typed
    // becomes its password.
    bool HasPassword();
    // The password from the recovery copy, made the library key; true when it passes
    // the check value.
    bool LoadStoredPassword();
    // The library cipher, keyed with the library password (none before one is known).
    const TBlowfish* LibraryCipher() const { return m_cipher.get(); }
    // The application title from the options row, read when a password was accepted.
    const std::string& Caption() const { return m_caption; }

    // Re-encrypts every chunk under newPassword and then switches the check values.
    // Recorded in the library as it goes: if it is interrupted, the next open with
    // either password reads every item and FinishPasswordChange completes it.
    void ChangePassword(const std::string& newPassword, ProgressRoutines& progress);
    bool PasswordChangePending() const;
    // Finishes an interrupted change; false when there is none.
    bool FinishPasswordChange(ProgressRoutines& progress);

    // Re-encrypts one item from oldCipher into the library cipher.
    void ReencryptItem(int recordIdent, const TBlowfish& oldCipher, ProgressRoutines& progress);

private:
    void Accept(const std::string& password, int generation);
    void RunReencryption(ProgressRoutines& progress);

    db::Connection m_mainConn;
    std::unique_ptr<TBlowfish> m_cipher;
    std::string m_caption;
};

} // namespace velmora
