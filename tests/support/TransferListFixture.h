#pragma once

#include "support/FormFixture.h"

#include <QItemSelectionModel>
#include <gtest/gtest.h>

namespace halvorix::test {

// The main window loaded in the computer-to-card direction, with a source tree of its own.
class TransferListForm : public ::testing::Test {
protected:
    FormFixture f;
    TempTree src;
    Form1 *form = &f.load();

    TransferListForm() { form->Option2->setChecked(true); }
    QStringList relativeRows() const
    {
        QStringList rows = f.rowTexts();
        for (QString &r : rows)
            r.remove(0, src.path().size());
        return rows;
    }
    void select(int row)
    {
        form->ListView1->selectionModel()->select(form->transferList().index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
};

} // namespace halvorix::test
