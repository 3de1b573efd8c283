#include "ui/MessageCollector.h"

#include "ui/MessageFlags.h"

namespace velmora {

int MessageCollector::ShowMessageBox(const std::string& text, int flags)
{
    const MessageButtons buttons = ButtonsForFlags(flags);
    const bool informs = buttons.ok && !buttons.yes && !buttons.no && !buttons.cancel;
    if (m_collection == nullptr || !informs)
        return m_user.ShowMessageBox(text, flags);
    m_collection->m_messages.push_back({text, flags});
    return mb::kResultOk;
}

MessageCollector::Collection::Collection(MessageCollector& collector)
    : m_collector(collector)
    , m_outer(collector.m_collection)
{
    collector.m_collection = this;
}

MessageCollector::Collection::~Collection()
{
    m_collector.m_collection = m_outer;
}

} // namespace velmora
