#pragma once

#include "support/FormFixture.h"

#include <gtest/gtest.h>

namespace halvorix::test {

// A main window whose card holds two photos with an old time, and a computer folder `pc` for the
// transfer list's rows: "Start Copying" in either direction.
class CopyRun : public ::testing::Test {
protected:
    static inline const QDateTime kOld = QDateTime(QDate(2020, 2, 29), QTime(8, 0, 0), Qt::UTC);

    FormFixture f;
    TempTree pc;
    Form1 *form = nullptr;

    void SetUp() override
    {
        TempTree::setModified(f.card.write("IMG_0001.JPG", "first photo"), kOld);
        TempTree::setModified(f.card.write("DCIM/100/IMG_0002.JPG", "second photo"), kOld);
        form = &f.load();
    }
    QString results() const { return f.disk.path("CARD/"); }
    QString fromPc() const { return f.card.path("From_PC/"); }
    QStringList texts() const { return f.ui.boxTexts(); }
    // Whether an error box named the line of the copy it happened at.
    bool reportedAt(int line) const
    {
        const QString where = QString("PushButton1_Click at line %1").arg(line);
        return std::any_of(f.ui.boxes.begin(), f.ui.boxes.end(),
            [&](const auto &box) { return box.title == "Application Error" && box.text.endsWith(where); });
    }
    void addRows(const QStringList &texts, const QString &marker)
    {
        for (const QString &t : texts)
            form->transferList().append({t, marker});
    }
};

} // namespace halvorix::test
