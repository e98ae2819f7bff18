#include "frame/ExitSequence.h"

#include "reader/SessionLog.h"
#include "store/Recordset.h"
#include "store/Stores.h"

#include <QCoreApplication>
#include <QDateTime>

void PrepareStoresForExit(Stores &st)
{
    if (st.rsForms.State()) {
        st.rsForms.ClearFilter();
        if (DeleteMatching(st.rsForms, QStringLiteral("fieldvalue = ''")) > 0 && !st.rsForms.Save())
            st.errorLog.LogError(st.rsForms.lastError(), StoreLog::FinalUnload);
    }
    if (st.rsFavorites.State()) {
        st.rsFavorites.ClearFilter();
        if (DeleteMatching(st.rsFavorites, QStringLiteral("Keywords LIKE 'Delete\\*'")) < 0)
            st.errorLog.LogError(st.rsFavorites.lastError(), StoreLog::FinalUnload);
    }
}

void CloseStoresAtExit(Stores &st, bool keepHistory, SessionLog *session)
{
    if (st.rsFavorites.State()) {
        st.rsFavorites.ClearFilter();
        if (!st.rsFavorites.Save())
            st.errorLog.LogError(st.rsFavorites.lastError(), StoreLog::FinalUnload);
        st.rsFavorites.Close();
    }
    QCoreApplication::processEvents();
    if (st.rsForms.State())
        st.rsForms.Close();
    if (keepHistory && st.rsHistory.State())
        SaveHistoryAtExit(st);
    QCoreApplication::processEvents();
    if (st.rsSavedFiles.State())
        st.rsSavedFiles.Close();
    if (st.rsSearches.State())
        st.rsSearches.Close();
    if (session)
        (void)session->flush();
    // A session closed by mistake can still be found among the last few.
    (void)KeepPastSession(st, QDateTime::currentDateTime());
    RotateSessionAtExit(st);
    QCoreApplication::processEvents();
}
