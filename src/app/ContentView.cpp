// The main window's content.
#include "ContentView.h"

#include "ActionRow.h"
#include "Appearance.h"
#include "FolderRow.h"
#include "IssueBox.h"
#include "model/AppModel.h"
#include "MuxAnnouncer.h"
#include "OptionsRow.h"
#include "PairDetail.h"
#include "PairTableModel.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

ContentView::ContentView(AppModel &model, FolderChooser chooser, QWidget *parent)
    : QWidget(parent), m_model(model), m_chooser(std::move(chooser))
{
    setMinimumSize(920, 620);

    auto *title = new QLabel(QStringLiteral("Spurenflechter"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 2);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAccessibleName(title->text());

    auto *subtitle = new QLabel(QStringLiteral("Deutsche Tonspuren und Untertitel mit der "
                                               "Videofassung aus Ordner 1 zusammenführen."),
                                this);
    makeSecondary(subtitle);
    subtitle->setAccessibleName(subtitle->text());

    auto *folderBox = new QGroupBox(QStringLiteral("Ordner"), this);
    auto *folderLayout = new QVBoxLayout(folderBox);
    folderLayout->setSpacing(10);
    // The box's own padding plus 4 around the rows.
    folderLayout->setContentsMargins(10, 10, 10, 10);
    m_folderRows = {
        addFolderRow(folderBox, QStringLiteral("Ordner 1"), QStringLiteral("Ordner 1 auswählen"),
                     {[this] { return m_model.primaryFolder(); },
                      [this](const auto &folder) { m_model.setPrimaryFolder(folder); },
                      &AppModel::primaryFolderChanged}),
        addFolderRow(folderBox, QStringLiteral("Ordner 2"), QStringLiteral("Ordner 2 auswählen"),
                     {[this] { return m_model.localizedFolder(); },
                      [this](const auto &folder) { m_model.setLocalizedFolder(folder); },
                      &AppModel::localizedFolderChanged}),
        addFolderRow(folderBox, QStringLiteral("Ausgabe"),
                     QStringLiteral("Ausgabeordner auswählen"),
                     {[this] { return m_model.outputFolder(); },
                      [this](const auto &folder) { m_model.setOutputFolder(folder); },
                      &AppModel::outputFolderChanged}),
    };

    m_optionsRow = new OptionsRow(this);
    connect(m_optionsRow, &OptionsRow::syncCheckToggled, &m_model,
            [this](bool enabled) { m_model.setSyncCheckEnabled(enabled); });
    connect(m_optionsRow, &OptionsRow::pitchRestoreToggled, &m_model,
            [this](bool enabled) { m_model.setPitchRestoreEnabled(enabled); });
    connect(m_optionsRow, &OptionsRow::cutRepairToggled, &m_model,
            [this](bool enabled) { m_model.setCutRepairEnabled(enabled); });
    // The model does not notify this one: the box is its only writer.
    connect(m_optionsRow, &OptionsRow::jobsChanged, &m_model,
            [this](int jobs) { m_model.setMuxJobs(jobs); });

    m_actionRow = new ActionRow(this);
    // The model's workflows return at once and report through its properties.
    connect(m_actionRow, &ActionRow::analyzeClicked, &m_model, &AppModel::analyze);
    connect(m_actionRow, &ActionRow::muxClicked, &m_model, &AppModel::startMux);
    connect(m_actionRow, &ActionRow::cancelClicked, &m_model, &AppModel::cancelMux);
    for (auto changed : {&AppModel::pairsChanged, &AppModel::isAnalyzingChanged,
                         &AppModel::isMuxingChanged, &AppModel::isCancellingChanged,
                         &AppModel::muxProgressChanged, &AppModel::muxFractionChanged,
                         &AppModel::muxETAChanged, &AppModel::isSyncCheckEnabledChanged,
                         &AppModel::isPitchRestoreEnabledChanged,
                         &AppModel::isCutRepairEnabledChanged})
        connect(&m_model, changed, this, &ContentView::showActions);

    m_pairTable = makePairTable();
    m_pairDetail = new PairDetail(m_model, this);
    m_pairDetail->setMaximumHeight(170);
    // A new analysis resets the rows and with them the selection.
    connect(m_pairTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                const QList<EpisodePair> &pairs = m_model.pairs();
                m_pairDetail->showPair(current.isValid() && current.row() < pairs.size()
                                           ? pairs.at(current.row()).id
                                           : QString());
            });
    connect(m_pairs, &QAbstractItemModel::modelReset, m_pairDetail,
            [this] { m_pairDetail->showPair({}); });

    m_issueBox = new IssueBox(m_model, this);
    connect(&m_model, &AppModel::issuesChanged, this, &ContentView::showIssueBox);
    m_announcer = new MuxAnnouncer(m_model, *this, this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(16);
    layout->addWidget(title);
    layout->addWidget(subtitle);
    layout->addWidget(folderBox);
    layout->addWidget(m_optionsRow);
    layout->addWidget(m_actionRow);
    layout->addWidget(m_pairTable, 1);
    layout->addWidget(m_pairDetail);
    layout->addWidget(m_issueBox);

    showActions();
    showIssueBox();
    arrangeTabOrder();
    // Larger fonts need more than the usual minimum; the rows must never be cut.
    setMinimumSize(minimumSize().expandedTo(layout->minimumSize()));
}

FolderRow *ContentView::addFolderRow(QWidget *box, const QString &title,
                                     const QString &chooserMessage, FolderProperty property)
{
    auto *row = new FolderRow(title, chooserMessage, box);
    box->layout()->addWidget(row);
    // Whatever the chooser returns is stored: cancelling clears the row.
    connect(row, &FolderRow::chooseRequested, this, [this, row, property] {
        const std::optional<QUrl> chosen = m_chooser(this, row->chooserMessage());
        property.write(chosen);
    });
    connect(row, &FolderRow::folderDropped, this,
            [property](const QUrl &folder) { property.write(folder); });
    connect(&m_model, property.changed, row, [this, row, property] {
        row->showFolder(property.read());
        showActions();
    });
    row->showFolder(property.read());
    return row;
}

QTableView *ContentView::makePairTable()
{
    m_pairs = new PairTableModel(m_model, this);
    auto *table = new QTableView(this);
    table->setModel(m_pairs);
    table->setAccessibleName(QStringLiteral("Zuordnungen"));
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSortingEnabled(false);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideMiddle);
    table->setShowGrid(false);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->hide();
    // Fixed row heights: hundreds of rows need no measuring.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);

    QHeaderView *header = table->horizontalHeader();
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setSectionResizeMode(PairTableModel::episode, QHeaderView::Fixed);
    header->resizeSection(PairTableModel::episode, 80);
    // At least 130, and wide enough for the longest status with its icon.
    int statusWidth = 130;
    for (const QString &text : PairTableModel::statusTexts())
        statusWidth = std::max(statusWidth, table->fontMetrics().horizontalAdvance(text) + 44);
    header->setSectionResizeMode(PairTableModel::status, QHeaderView::Fixed);
    header->resizeSection(PairTableModel::status, statusWidth);
    return table;
}

void ContentView::showActions()
{
    const ActionState state = ActionState::of(m_model);
    m_optionsRow->showState(state);
    m_actionRow->showState(state);
}

void ContentView::showIssueBox()
{
    m_issueBox->setVisible(!m_model.issues().isEmpty());
}

void ContentView::arrangeTabOrder()
{
    QList<QWidget *> order;
    for (FolderRow *row : m_folderRows)
        order << row->chooseButton();
    order << m_optionsRow->controls();
    order << m_actionRow->analyzeButton() << m_actionRow->muxButton() << m_actionRow->cancelButton()
          << m_pairTable << m_pairDetail->trackTable() << m_issueBox->copyButton() << m_issueBox->list();
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}
