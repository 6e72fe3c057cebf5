#pragma once

#include <exception>

namespace catalog {

// Thrown by a catalog append that could not allocate its record or a text copy. The scan must
// not treat it as the failure of one item: it unwinds the whole walk, and the program shows its
// out-of-memory message and exits with a non-zero code. Carries no user-facing text; the app and
// the command line choose the words ("Not Enough Of Memory" for a non-empty folder catalog).
class CatalogOutOfMemory : public std::exception
{
public:
    enum class Catalog
    {
        Folder,
        Mail,
        Contact,
        Appointment,
        Task,
        Note,
        Journal,
    };

    CatalogOutOfMemory(Catalog catalog, bool catalogWasEmpty) noexcept
        : m_catalog(catalog), m_catalogWasEmpty(catalogWasEmpty)
    {
    }

    Catalog catalog() const noexcept { return m_catalog; }
    bool catalogWasEmpty() const noexcept { return m_catalogWasEmpty; }
    const char* what() const noexcept override { return "catalog out of memory"; }

private:
    Catalog m_catalog;
    bool m_catalogWasEmpty;
};

} // namespace catalog
