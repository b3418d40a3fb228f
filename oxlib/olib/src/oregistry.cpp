// Registry access through the system layer's registry calls.
#include <oxlib/olog.h>
#include <oxlib/oregistry.h>

#include "sys/osys.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kFile = "oregistry.cpp";
constexpr const char* kTrailingExpression =
    "m_subKey.getAt ( m_subKey.getNChars () - 1 ) != '\\\\'";
constexpr const char* kTrailingMessage = "Win95 doesn't like opening \\ ending reg keys";

// Every buffer the registry reads into: value data, key names, value names.
constexpr uint32_t kBufferSize = 1024;

HKEY toKey(oxsys::RegKey key) {
    return static_cast<HKEY>(key);
}

// The text of REG_SZ data: up to its first zero, never beyond the data, so data
// stored without a terminator cannot run past the buffer.
OString textOf(const unsigned char* data, uint32_t size) {
    const auto* text = reinterpret_cast<const char*>(data);
    return OString(text, static_cast<int32_t>(strnlen(text, size)));
}

} // namespace

// --- ORegistry -------------------------------------------------------------------

ORegistry::ORegistry(const OString& subKeyName, const OString& parentPath, HKEY rootKey)
    : m_subKey(parentPath + subKeyName), m_rootKey(rootKey) {}

void ORegistry::checkTrailingBackslash(const char* line) const {
    OX_ASSERT_MSG_AT(m_subKey.getAt(m_subKey.getNChars() - 1) != OChar('\\'), kFile, line,
                     kTrailingExpression, kTrailingMessage);
}

bool ORegistry::keyExists() const {
    checkTrailingBackslash("57");
    oxsys::RegKey key = nullptr;
    if (oxsys::regOpenKey(m_rootKey, m_subKey.c_str(), oxsys::kKeyRead, &key) != oxsys::kErrSuccess)
        return false;
    oxsys::regCloseKey(key);
    return true;
}

OString ORegistry::readString(const OString& valueName) const {
    checkTrailingBackslash("76");
    // Open, query, close: one call of the system layer.
    unsigned char buffer[kBufferSize];
    uint32_t size = kBufferSize;
    uint32_t type = REG_NONE;
    if (oxsys::regGetValue(m_rootKey, m_subKey.c_str(), valueName.c_str(), &type, buffer, &size) !=
        oxsys::kErrSuccess)
        return OString();
    if (type == REG_SZ)
        return textOf(buffer, size);
    if (type == REG_DWORD && size == sizeof(uint32_t)) {
        uint32_t value = 0;
        std::memcpy(&value, buffer, sizeof value);
        return OString::fromNumber(value, 10);
    }
    return OString();
}

OString ORegistry::readStringDefault(const OString& valueName, const OString& defaultValue) const {
    OString retval = readString(valueName);
    if (retval.isEmpty() && !defaultValue.isEmpty() && writeString(valueName, defaultValue)) {
        retval = readString(valueName);
        OX_ASSERT_AT(defaultValue == retval, kFile, "108", "defaultValue == retval");
    }
    return retval;
}

OString ORegistry::readIntegerDefault(const OString& valueName, int32_t defaultValue) const {
    OString retval = readString(valueName);
    if (retval.isEmpty() && writeInteger(valueName, defaultValue)) {
        retval = readString(valueName);
        // The text is unsigned decimal, so it is compared as the unsigned value
        // (atoi of a number above INT_MAX is undefined).
        const auto readBack = static_cast<uint32_t>(std::strtoul(retval.c_str(), nullptr, 10));
        OX_ASSERT_AT(static_cast<uint32_t>(defaultValue) == readBack, kFile, "125",
                     "defaultValue == atoi((const NativeChar *)retval)");
    }
    return retval;
}

bool ORegistry::writeString(const OString& valueName, const OString& text) const {
    oxsys::RegKey key = nullptr;
    if (oxsys::regCreateKey(m_rootKey, m_subKey.c_str(), oxsys::kKeyWrite, &key) !=
        oxsys::kErrSuccess)
        return false;
    const bool stored = oxsys::regSetValue(key, valueName.c_str(), REG_SZ,
                                           reinterpret_cast<const unsigned char*>(text.c_str()),
                                           static_cast<uint32_t>(text.getNativeCharsUsed()) + 1) ==
                        oxsys::kErrSuccess;
    oxsys::regCloseKey(key);
    return stored;
}

bool ORegistry::writeInteger(const OString& valueName, int32_t value) const {
    oxsys::RegKey key = nullptr;
    if (oxsys::regCreateKey(m_rootKey, m_subKey.c_str(), oxsys::kKeyWrite, &key) !=
        oxsys::kErrSuccess)
        return false;
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    const bool stored = oxsys::regSetValue(key, valueName.c_str(), REG_DWORD, bytes,
                                           sizeof bytes) == oxsys::kErrSuccess;
    oxsys::regCloseKey(key);
    return stored;
}

ORegistryKeyIterator ORegistry::subKeys() const {
    checkTrailingBackslash("289");
    oxsys::RegKey key = nullptr;
    if (oxsys::regOpenKey(m_rootKey, m_subKey.c_str(), oxsys::kKeyEnumerateSubKeys, &key) !=
        oxsys::kErrSuccess)
        key = nullptr;
    return ORegistryKeyIterator(toKey(key));
}

ORegistryValueIterator ORegistry::values() const {
    checkTrailingBackslash("311");
    oxsys::RegKey key = nullptr;
    if (oxsys::regOpenKey(m_rootKey, m_subKey.c_str(), oxsys::kKeyRead, &key) != oxsys::kErrSuccess)
        key = nullptr;
    return ORegistryValueIterator(toKey(key));
}

// --- ORegistryKeyIterator -----------------------------------------------------------

ORegistryKeyIterator::ORegistryKeyIterator(HKEY key) : m_hKey(key), m_index(0) {
    next();
}

ORegistryKeyIterator::ORegistryKeyIterator(ORegistryKeyIterator&& other) noexcept
    : m_name(std::move(other.m_name)), m_hKey(other.m_hKey), m_index(other.m_index) {
    other.m_hKey = nullptr;
}

ORegistryKeyIterator& ORegistryKeyIterator::operator=(ORegistryKeyIterator&& other) noexcept {
    if (this != &other) {
        close();
        m_name = std::move(other.m_name);
        m_hKey = other.m_hKey;
        m_index = other.m_index;
        other.m_hKey = nullptr;
    }
    return *this;
}

ORegistryKeyIterator::~ORegistryKeyIterator() {
    close();
}

void ORegistryKeyIterator::close() {
    if (m_hKey != nullptr)
        oxsys::regCloseKey(m_hKey);
    m_hKey = nullptr;
}

bool ORegistryKeyIterator::next() {
    if (m_hKey == nullptr)
        return false;
    char name[kBufferSize];
    uint32_t size = kBufferSize;
    if (oxsys::regEnumKey(m_hKey, static_cast<uint32_t>(m_index), name, &size) ==
        oxsys::kErrSuccess) {
        m_name = OString(name, static_cast<int32_t>(size));
        ++m_index;
        return true;
    }
    close();
    m_name = OString();
    return false;
}

// --- ORegistryValueIterator ---------------------------------------------------------

ORegistryValueIterator::ORegistryValueIterator(HKEY key) : m_hKey(key), m_index(0) {
    next();
}

ORegistryValueIterator::ORegistryValueIterator(ORegistryValueIterator&& other) noexcept
    : m_data(std::move(other.m_data)), m_name(std::move(other.m_name)), m_hKey(other.m_hKey),
      m_index(other.m_index) {
    other.m_hKey = nullptr;
}

ORegistryValueIterator& ORegistryValueIterator::operator=(ORegistryValueIterator&& other) noexcept {
    if (this != &other) {
        close();
        m_data = std::move(other.m_data);
        m_name = std::move(other.m_name);
        m_hKey = other.m_hKey;
        m_index = other.m_index;
        other.m_hKey = nullptr;
    }
    return *this;
}

ORegistryValueIterator::~ORegistryValueIterator() {
    close();
}

void ORegistryValueIterator::close() {
    if (m_hKey != nullptr)
        oxsys::regCloseKey(m_hKey);
    m_hKey = nullptr;
}

bool ORegistryValueIterator::next() {
    if (m_hKey == nullptr)
        return false;
    char name[kBufferSize];
    uint32_t nameSize = kBufferSize;
    unsigned char data[kBufferSize];
    uint32_t dataSize = kBufferSize;
    uint32_t type = REG_NONE;
    if (oxsys::regEnumValue(m_hKey, static_cast<uint32_t>(m_index), name, &nameSize, &type, data,
                            &dataSize) == oxsys::kErrSuccess) {
        m_name = OString(name, static_cast<int32_t>(nameSize));
        m_data = type == REG_SZ ? textOf(data, dataSize) : OString();
        ++m_index;
        return true;
    }
    close();
    m_name = OString();
    m_data = OString();
    return false;
}
