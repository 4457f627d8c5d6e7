#include "rules/addressrules.h"

namespace AddressRules
{

quint32 MaskValue(const Fields& mask)
{
    return quint32(mask[0]) << 24 | quint32(mask[1]) << 16 | quint32(mask[2]) << 8 |
           quint32(mask[3]);
}

bool IsValidSubnetMask(quint32 mask)
{
    if (mask == 0 || (mask & 1u) != 0)
        return false;
    // The host part of a good mask is a run of ones from bit 0: adding 1 carries through all
    // of it and leaves no bit in common.
    const quint32 host = ~mask;
    return (host & (host + 1u)) == 0;
}

Verdict CheckLanSettings(const Fields& address, const Fields& mask)
{
    if (address[0] < 1 || address[0] > 223)
        return {kAddressFirstFieldMessage, Focus::AddressFirstField};
    if (address[3] < 1 || address[3] > 254)
        return {kAddressFourthFieldMessage, Focus::AddressFourthField};
    if (!IsValidSubnetMask(MaskValue(mask)))
        return {kSubnetMaskMessage, Focus::MaskFirstField};
    return {};
}

} // namespace AddressRules
