#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// A transfer archive that cannot be written or read as asked. The text is readable as
// it stands (it names the file and what is wrong with it); the reason lets a caller
// decide what to show. Raised before anything is added to a library or written to an
// archive wherever the fault can be seen in advance.
class ArchiveError : public std::runtime_error {
public:
    enum class Reason {
        NotAnArchive,     // missing, not a database, or made with another database password
        MissingSchema,    // a database without the archive's tables or columns
        Damaged,          // truncated or with pages that fail their check
        BadContent,       // a row whose rec_size and rec_object disagree (or unusable values)
        Locked,           // another connection is writing the file
        Unreadable,       // the archive reader crashed, hung, hit a limit or answered nonsense
        ItemTooLarge,     // an item too long for one archive value
        RefusedTarget,    // the target is the template, or cannot be replaced safely
        RefusedPassword,  // an archive password that would leave the content readable
    };

    ArchiveError(Reason reason, const std::string& message) : std::runtime_error(message), m_reason(reason) {}

    Reason reason() const { return m_reason; }

private:
    Reason m_reason;
};

} // namespace velmora
