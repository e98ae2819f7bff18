#include "reader/Reader.h"

#include "reader/AppContext.h"

Reader::Reader(AppContext &ctx_, ReaderHost &host_)
    : ctx(ctx_), host(host_), log(ctx_), pool(*this), queue(*this), report(*this), nav(*this),
      form(*this)
{}

void setProgramFieldFocused(AppContext &ctx, bool focused)
{
    if (ctx.reader)
        ctx.reader->nav.setProgramFieldFocused(focused);
    else
        ctx.gbTextEntry = focused;
}

URLParts Reader::urlParts(const QString &url) const
{
    if (ctx.gURL)
        return ctx.gURL->URLparts(url);
    CWinInet_URL local;
    return local.URLparts(url);
}
