#include "TempProfile.h"

TempProfile::TempProfile()
{
    m_hadPrevious = qEnvironmentVariableIsSet("SKIMLINE_HOME");
    m_previous = qgetenv("SKIMLINE_HOME");
    qputenv("SKIMLINE_HOME", m_dir.path().toUtf8());
}

TempProfile::~TempProfile()
{
    if (m_hadPrevious)
        qputenv("SKIMLINE_HOME", m_previous);
    else
        qunsetenv("SKIMLINE_HOME");
}
