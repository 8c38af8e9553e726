#include "net/pskkeylist.h"

#include <openssl/crypto.h>

PskKeyList::~PskKeyList()
{
    clear();
}

PskKeyList::PskKeyList(PskKeyList &&other) noexcept : m_entries(std::move(other.m_entries))
{
    other.m_entries.clear();
}

PskKeyList &PskKeyList::operator=(PskKeyList &&other) noexcept
{
    if (this != &other) {
        clear();
        m_entries = std::move(other.m_entries);
        other.m_entries.clear();
    }
    return *this;
}

void PskKeyList::append(QByteArray identity, QByteArray &&key)
{
    // Moved, not copied: no second copy of the key is left to wipe.
    Entry entry;
    entry.identity = std::move(identity);
    entry.key = std::move(key);
    key = QByteArray();
    m_entries.append(std::move(entry));
}

const PskKeyList::Entry *PskKeyList::find(QByteArrayView identity) const
{
    for (const Entry &entry : m_entries) {
        if (entry.identity == identity)
            return &entry;
    }
    return nullptr;
}

void PskKeyList::keepFirst()
{
    while (m_entries.size() > 1) {
        wipe(m_entries.last().key);
        m_entries.removeLast();
    }
}

void PskKeyList::wipe(QByteArray &bytes)
{
    // Only a buffer we hold alone may be overwritten in place; a shared one is detached by
    // data(), which would wipe a fresh copy and leave the original.
    if (!bytes.isEmpty() && bytes.isDetached())
        OPENSSL_cleanse(bytes.data(), size_t(bytes.size()));
    bytes = QByteArray();
}

void PskKeyList::clear()
{
    for (Entry &entry : m_entries)
        wipe(entry.key);
    m_entries.clear();
}
