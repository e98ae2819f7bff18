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
        bool removed = false;
        if (st.rsForms.SetFilter(QStringLiteral("fieldvalue = ''"))) {
            while (!st.rsForms.isEOF()) {
                removed = st.rsForms.Delete() || removed;
                st.rsForms.MoveNext();
            }
        }
        st.rsForms.ClearFilter();
        if (removed && !st.rsForms.Save())
            st.errorLog.LogError(st.rsForms.lastError(), StoreLog::FinalUnload);
    }
    if (st.rsFavorites.State()) {
        st.rsFavorites.ClearFilter();
        if (st.rsFavorites.SetFilter(QStringLiteral("Keywords LIKE 'Delete\\*'"))) {
            while (!st.rsFavorites.isEOF()) {
                (void)st.rsFavorites.Delete();
                st.rsFavorites.MoveNext();
            }
        } else {
            st.errorLog.LogError(st.rsFavorites.lastError(), StoreLog::FinalUnload);
        }
        st.rsFavorites.ClearFilter();
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
    if (session)
        (void)session->flush();
    // A session closed by mistake can still be found among the last few.
    (void)KeepPastSession(st, QDateTime::currentDateTime());
    RotateSessionAtExit(st);
    QCoreApplication::processEvents();
}
