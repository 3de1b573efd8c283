#pragma once

#include "ui/MessageBoxes.h"

#include <string>
#include <vector>

namespace velmora {

// Passes every message on to the user, except while a Collection is open: then the
// messages that only inform (an OK button alone) are kept for the one who opened it, so
// that work another program waits on can answer with them and show them once, at its
// end, without stopping half-way for the user. Questions always reach the user.
class MessageCollector : public MessageBoxes {
public:
    struct Message {
        std::string text;
        int flags = 0;
    };

    explicit MessageCollector(MessageBoxes& user) : m_user(user) {}

    int ShowMessageBox(const std::string& text, int flags) override;

    // Collects from its making to its end; a nested one collects for itself meanwhile.
    class Collection {
    public:
        explicit Collection(MessageCollector& collector);
        ~Collection();
        Collection(const Collection&) = delete;
        Collection& operator=(const Collection&) = delete;

        const std::vector<Message>& Messages() const { return m_messages; }

    private:
        friend class MessageCollector;
        MessageCollector& m_collector;
        Collection* m_outer;
        std::vector<Message> m_messages;
    };

private:
    MessageBoxes& m_user;
    Collection* m_collection = nullptr;
};

} // namespace velmora
