#pragma once
// Assign Addresses: new network settings for the checked cameras in one step. The form
// (or an imported plan file) makes a plan, shown row by row with its problems before
// anything is sent; Apply hands it to the site's batch, whose progress the dialog
// follows, its report with it. A running batch keeps the dialog open: Cancel or Escape
// stops its commands while they are being sent, and it closes once the batch has ended.

#include "app/UserFiles.h"
#include "site/AssignAddresses.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CPlanPreviewModel;
class QLineEdit;
class QStringListModel;
class QTimer;

class CAssignAddressesDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAssignAddressesDlg)

public:
    // For the chosen cameras, in their order; every plan is checked against the cameras
    // the batch's list holds at that moment. The login fills its edits; askFile names the
    // plan and report files.
    CAssignAddressesDlg(CAssignAddresses &batch, std::vector<Camera> chosen, const CommandLogin &login,
                        FileAsker askFile, QWidget *parent = nullptr);
    ~CAssignAddressesDlg() override;

    // While a batch runs, leaving cancels it instead.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void MakeMessageMap();
    void Prefill(const CommandLogin &login);
    void OnFormEdited();
    void OnModeToggled();
    void OnImportPlan();
    void OnApply();
    void OnExportReport();
    void OnCancelBatch();
    // What the dialog hears from the running batch; its end brings the report.
    void ShowProgress(const BatchProgress &progress);

    BatchForm ReadForm() const;
    CommandLogin ReadLogin() const;
    QLineEdit *Edit(int id) const;
    // The plan made again from its source, checked against the cameras listed now.
    void Replan();
    // The form's plan is made again once typing pauses; until then the plan shown is stale.
    void ReplanAfterPause();
    bool PlanIsCurrent() const;
    void ShowPlan(const std::vector<Camera> &listed);
    void UpdateControls();

    CAssignAddresses &m_batch;
    std::vector<Camera> m_chosen;
    FileAsker m_askFile;
    CheckedPlan m_plan;
    // An imported plan: the file's name, and its text or why it could not be read.
    // No name: the form is the plan.
    QString m_planFile;
    std::optional<std::string> m_planText;
    std::string m_importError;
    BatchProgress m_progress; // the running batch's, as last shown

    std::unique_ptr<CPlanPreviewModel> m_pPreview;
    std::unique_ptr<QStringListModel> m_pProblems;
    QTimer *m_pReplanTimer; // a child of the dialog
};
