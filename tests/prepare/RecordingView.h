#pragma once

#include "catalogue/FileListBox.h"
#include "prepare/DemoPreparation.h"

#include <QCollator>
#include <QStringList>

// A window for the preparation without widgets: lists files as the hidden file list does
// and writes what it is asked to do into the same log as the platform ("view ..." lines),
// so that one list shows the whole order.
class RecordingView final : public PreparationView
{
public:
    RecordingView(Platform &platform, QStringList &log) : m_platform(platform), m_log(log) {}

    bool isOpen() const override { return true; }
    QStringList listFiles(const QString &folder, const QString &pattern) override
    {
        m_log.append(QStringLiteral("view list ") + folder + QStringLiteral(" | ") + pattern);
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        return FileListBox::matchAndSort(m_platform.listVisibleFiles(folder), pattern, collator);
    }
    void clearDemoList() override { m_log.append(QStringLiteral("view clear list")); }
    void resetDemoListText() override { m_log.append(QStringLiteral("view reset text")); }
    void showProgressFrame() override { m_log.append(QStringLiteral("view frame shown")); }
    void hideProgressFrame() override { m_log.append(QStringLiteral("view frame hidden")); }
    void setMenusEnabled(bool on) override
    {
        m_log.append(on ? QStringLiteral("view menus on") : QStringLiteral("view menus off"));
    }

private:
    Platform &m_platform;
    QStringList &m_log;
};
