// Splitting, joining and normalising addresses. Input: a selector byte (the flags), then an
// address; after the first newline a second one to join to it.
#include "FuzzSupport.h"

#include "store/CWinInet_URL.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const auto [selector, first, second] = fuzz::selectedTexts(data, size);

    static const int kFlags[] = {IcuFlag::EncodePercent,    IcuFlag::BrowserMode,
                                 IcuFlag::EncodeSpacesOnly, IcuFlag::NoMeta,
                                 IcuFlag::Decode,           IcuFlag::NoEncode};
    int flags = 0;
    for (int i = 0; i < 6; ++i) {
        if (selector & (1 << i))
            flags |= kFlags[i];
    }

    CWinInet_URL url;
    if (url.CrackUrl(first)) {
        (void)url.BaseHostName();
        (void)url.BaseFileName();
        (void)url.FileExtension();
        const QString built = url.CreateURL();
        if (selector & 0x40)
            url.setPort(quint16(selector * 257));
        (void)url.CreateURL();
        (void)built;
    } else {
        fuzz::require(url.Scheme() == InternetScheme::Unknown && url.HostName().isEmpty());
    }
    const URLParts parts = url.URLparts(first);
    fuzz::require(parts.valid || (parts.host.isEmpty() && parts.path.isEmpty()));
    (void)url.CanonicalizeUrl(first, flags);
    (void)url.CombineUrl(first, second, flags);
    (void)url.CombineUrl(second, first, flags);
    return 0;
}
