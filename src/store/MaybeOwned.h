#pragma once

#include <concepts>
#include <memory>
#include <stdexcept>

namespace velmora {

// A reference to an object that is either borrowed (the caller releases it after the
// holder is gone) or owned (released with the holder). Filters take their inner
// stream and their cipher this way: pass an object to borrow it, a unique_ptr to
// hand it over.
template <class T>
class MaybeOwned {
public:
    MaybeOwned(T& borrowed) : m_ptr(&borrowed) {}

    template <class U>
        requires std::convertible_to<U*, T*>
    MaybeOwned(std::unique_ptr<U> owned) : m_owned(std::move(owned)), m_ptr(m_owned.get())
    {
        if (!m_ptr)
            throw std::invalid_argument("MaybeOwned: no object given");
    }

    MaybeOwned(MaybeOwned&&) noexcept = default;
    MaybeOwned& operator=(MaybeOwned&&) noexcept = default;

    T& get() const { return *m_ptr; }
    T* operator->() const { return m_ptr; }
    T& operator*() const { return *m_ptr; }
    bool owns() const { return m_owned != nullptr; }

private:
    std::unique_ptr<T> m_owned;
    T* m_ptr;
};

} // namespace velmora
