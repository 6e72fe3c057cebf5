#include "ItemSerialCounter.h"

namespace catalog {

ItemSerialCounter& ItemSerialCounter::processCounter()
{
    static ItemSerialCounter counter;
    return counter;
}

int ItemSerialCounter::next()
{
    return m_value.fetch_add(1) + 1;
}

int ItemSerialCounter::current() const
{
    return m_value.load();
}

} // namespace catalog
