#include "format/DataMember.h"

CMemberNotes& CDataMember::Notes()
{
    if (!m_pNotes)
        m_pNotes = std::make_shared<CMemberNotes>();
    else if (m_pNotes.use_count() > 1)
        m_pNotes = std::make_shared<CMemberNotes>(*m_pNotes);
    return *m_pNotes;
}

const CMemberNotes& CDataMember::NoNotes()
{
    static const CMemberNotes none;
    return none;
}
