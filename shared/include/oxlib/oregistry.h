// ORegistry: one key of the registry (a root key plus a sub-key path), with
// reads as text, writes of text and 32-bit integers, and enumeration of the
// key's sub-keys and values.
//
// Nothing is cached: every operation opens the key, does its work and closes
// it again, so an ORegistry is cheap to copy and holds no handle. Failures show
// as false, empty text or an empty enumeration; nothing throws. Values read
// through 1024-byte buffers: longer data reads as empty text. A sub-key path
// that ends in a backslash is reported (an assertion) by every read and
// enumeration, which then goes on. On Windows this is the system registry; on
// other systems it is the library's own store (see oxsys::registry), one file
// per user named by $OXLIB_REGISTRY or kept in the user's data folder.
#pragma once

#include <oxlib/ostring.h>

#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
// The registry's handle and constants, with the Windows values.
struct HKEY__;
using HKEY = HKEY__*;
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_MULTI_SZ 7
#define REG_QWORD 11
#endif

// Walks the sub-keys of a key. The iterator owns the open key: it closes it when
// the enumeration ends (or when the iterator is destroyed before that).
class ORegistryKeyIterator {
public:
    // Takes over `key` (null: an empty enumeration) and moves to the first entry.
    explicit ORegistryKeyIterator(HKEY key);
    ORegistryKeyIterator(ORegistryKeyIterator&& other) noexcept;
    ORegistryKeyIterator& operator=(ORegistryKeyIterator&& other) noexcept;
    ORegistryKeyIterator(const ORegistryKeyIterator&) = delete;
    ORegistryKeyIterator& operator=(const ORegistryKeyIterator&) = delete;
    ~ORegistryKeyIterator();

    // The sub-key the iterator stands on; empty when finished.
    const OString& name() const { return m_name; }
    // The open key while the enumeration runs; null once it has ended.
    HKEY key() const { return m_hKey; }
    // Moves to the next sub-key; false (and the key closed) at the end or on error.
    bool next();

private:
    void close();

    OString m_name;
    HKEY m_hKey;
    int32_t m_index;
};

// Walks the values of a key; as ORegistryKeyIterator otherwise.
class ORegistryValueIterator {
public:
    explicit ORegistryValueIterator(HKEY key);
    ORegistryValueIterator(ORegistryValueIterator&& other) noexcept;
    ORegistryValueIterator& operator=(ORegistryValueIterator&& other) noexcept;
    ORegistryValueIterator(const ORegistryValueIterator&) = delete;
    ORegistryValueIterator& operator=(const ORegistryValueIterator&) = delete;
    ~ORegistryValueIterator();

    // The current value's name; empty when finished.
    const OString& name() const { return m_name; }
    // Its text when it is a REG_SZ value, else empty.
    const OString& data() const { return m_data; }
    HKEY key() const { return m_hKey; }
    // Moves on; a value whose name or data exceeds 1024 bytes ends the walk.
    bool next();

private:
    void close();

    OString m_data;
    OString m_name;
    HKEY m_hKey;
    int32_t m_index;
};

class ORegistry {
public:
    // The key `parentPath` + `subKeyName` below `rootKey`; no separator is put
    // between them, so the parent path ends with a backslash
    // ("Software\Corvane Software\" + "Shared Tools\Strings").
    ORegistry(const OString& subKeyName, const OString& parentPath, HKEY rootKey);

    // The key can be opened for reading.
    bool keyExists() const;
    // REG_SZ as its text, REG_DWORD as unsigned decimal text, anything else, a
    // missing value or data over 1024 bytes as empty text.
    OString readString(const OString& valueName) const;
    // As readString; a missing or empty value is first stored as `defaultValue`
    // (an empty default is never stored).
    OString readStringDefault(const OString& valueName, const OString& defaultValue) const;
    // As readString; a missing or empty value is first stored as the REG_DWORD
    // `defaultValue`. Empty text when that write fails.
    OString readIntegerDefault(const OString& valueName, int32_t defaultValue) const;
    // Store a REG_SZ (with its terminating zero) or a REG_DWORD, creating the key
    // and its parents when missing. New keys inherit their parent's security.
    bool writeString(const OString& valueName, const OString& text) const;
    bool writeInteger(const OString& valueName, int32_t value) const;
    // Iterators standing on the first sub-key / value (or already finished).
    ORegistryKeyIterator subKeys() const;
    ORegistryValueIterator values() const;

    const OString& subKey() const { return m_subKey; }
    HKEY rootKey() const { return m_rootKey; }

private:
    void checkTrailingBackslash(const char* line) const;

    OString m_subKey;
    HKEY m_rootKey;
};
