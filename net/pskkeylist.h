#pragma once

#include <QByteArray>
#include <QList>

/// The pre-shared keys of the encrypted channel: identity and key bytes per entry, in file
/// order. Move-only, and every key is wiped from memory when the list lets go of it, so a key
/// lives in exactly one place for as long as it is needed.
class PskKeyList
{
public:
    struct Entry
    {
        QByteArray identity; // printable ASCII, no blank
        QByteArray key;      // the raw key bytes (never logged)
    };

    static constexpr int MinKeyBytes = 32;
    static constexpr int MaxKeyBytes = 512; // the most OpenSSL takes as a TLS 1.3 PSK
    static constexpr int MaxIdentityChars = 128;

    PskKeyList() = default;
    ~PskKeyList();
    PskKeyList(PskKeyList &&other) noexcept;
    PskKeyList &operator=(PskKeyList &&other) noexcept;
    PskKeyList(const PskKeyList &) = delete;
    PskKeyList &operator=(const PskKeyList &) = delete;

    /// Takes `key` over; the caller's copy is left empty.
    void append(QByteArray identity, QByteArray &&key);
    bool isEmpty() const { return m_entries.isEmpty(); }
    qsizetype size() const { return m_entries.size(); }
    const Entry &at(qsizetype index) const { return m_entries.at(index); }
    /// The entry of `identity`, or nullptr.
    const Entry *find(QByteArrayView identity) const;
    /// Keeps the first entry only (the console uses the first line of its file).
    void keepFirst();

    /// Overwrites the bytes of `bytes` and empties it.
    static void wipe(QByteArray &bytes);

private:
    void clear();

    QList<Entry> m_entries;
};
