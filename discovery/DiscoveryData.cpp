#include "discovery/DiscoveryData.h"

#include "platform/MD5.h"

DISCOVERY_DATA ZeroRecord()
{
    DISCOVERY_DATA record;
    std::memset(&record, 0, sizeof record);
    return record;
}

DISCOVERY_DATA MakeSearchRecord()
{
    DISCOVERY_DATA record = ZeroRecord();
    record.nType = DISCOVERY_SEARCH;
    return record;
}

void PasswordDigest(std::string_view password, std::uint8_t digest[16])
{
    // The camera hashes the password as a C string, terminator included.
    const std::string terminated(password.substr(0, CREDENTIAL_MAX_CHARS));
    CMD5 md5;
    md5.Update(terminated.c_str(), terminated.size() + 1);
    md5.Final(digest);
}

void FillCredentialBlock(DISCOVERY_DATA &record, std::string_view userId, std::string_view password)
{
    WriteSlotText(record.szUserID, userId, CREDENTIAL_MAX_CHARS);
    std::memset(record.abPasswordDigest, 0, sizeof record.abPasswordDigest);
    PasswordDigest(password, record.abPasswordDigest);
}

const char *ResultMessage(std::int32_t nResult)
{
    switch (nResult) {
    case RESULT_FAILED: return "Failed";
    case RESULT_INVALID_ADDRESS: return "Failed. Invalid address";
    case RESULT_INVALID_PORT: return "Failed. Invalid port";
    case RESULT_INVALID_CONFIG: return "Failed. Invalid config";
    case RESULT_LOGIN_FAILED: return "Failed. login failed";
    default: return nullptr;
    }
}
