#pragma once

#include "FakeStore.h"
#include "MailView.h"
#include "catalog/Catalogs.h"
#include "catalog/ItemSerialCounter.h"
#include "scan/ExportCounters.h"
#include "scan/ScanJob.h"
#include "views/FolderTreeModel.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

// A scan of a fake store into catalogs, a tree model and counters of the test's own, with the
// attachments directory in a temporary folder.
class EngineFixture : public ::testing::Test
{
protected:
    scan::ScanOutcome scan()
    {
        job = std::make_unique<scan::ScanJob>(catalogs, tree, serials, counters);
        scan::ScanSettings settings;
        settings.storePath = QStringLiteral("/stores/sample.ost");
        settings.attachmentsDirectory = attachmentsDirectory();
        settings.storeNode = storeNode;
        const scan::ScanOutcome outcome = job->runOnStore(store, settings);
        storeNode = job->storeNode();
        return outcome;
    }

    QString attachmentsDirectory() const { return temp.path() + QStringLiteral("/Attachments"); }

    // The first node whose label is `label`, or NoNode.
    catalog::NodeId node(const QString& label) const
    {
        for (const auto& n : tree.nodes()) {
            if (n.label == label)
                return n.id;
        }
        return catalog::NoNode;
    }

    // Records by position; a missing one throws, which fails the test.
    template <typename Pointer> static auto& existing(const Pointer& record)
    {
        if (!record)
            throw std::out_of_range("no such record");
        return *record;
    }
    support::MailView mail(qsizetype index) const
    {
        return support::fullMail(catalogs, existing(catalogs.mails().at(index)));
    }
    const catalog::FolderRecord& folder(qsizetype index) const
    {
        return existing(catalogs.folders().at(index));
    }
    catalog::ContactRecord contact(qsizetype index) const
    {
        return catalogs.fullContact(existing(catalogs.contacts().at(index)));
    }
    const catalog::AppointmentRecord& appointment(qsizetype index) const
    {
        return existing(catalogs.appointments().at(index));
    }

    std::shared_ptr<const catalog::MailRecord> findMail(const QString& subject) const
    {
        for (const auto& record : catalogs.mails().records()) {
            if (record->subject == subject)
                return record;
        }
        return nullptr;
    }
    bool hasMail(const QString& subject) const { return findMail(subject) != nullptr; }
    // The mail record with subject `subject`; throws when there is none.
    support::MailView mailWithSubject(const QString& subject) const
    {
        return support::fullMail(catalogs, existing(findMail(subject)));
    }

    QStringList mailSubjects() const
    {
        QStringList subjects;
        for (const auto& record : catalogs.mails().records())
            subjects << record->subject.value_or(QString());
        return subjects;
    }

    const scan::FolderReport* report(const QString& label) const { return job->report().find(node(label)); }

    catalog::Catalogs catalogs;
    views::FolderTreeModel tree;
    catalog::ItemSerialCounter serials;
    scan::ExportCounters counters;
    QTemporaryDir temp;
    support::FakeStore store;
    std::unique_ptr<scan::ScanJob> job;
    catalog::NodeId storeNode = catalog::NoNode;
};
