// The folder tree of a result window: volumes and folders from the
// catalogue, filled when opened, following the result's current folder and
// running the result for the folder a person picks.
#include "catalogue/volume_fetch.h"
#include "qt_environment.h"
#include "result_fixture.h"

namespace korvane {
namespace {

using testing::ResultWindowTest;

class DriveViewTest : public ResultWindowTest {
  protected:
    CDriveView& Drive() { return *frame_->DriveView(); }
    QStringList Children(const QModelIndex& index) {
        QStringList names;
        for (int i = 0; i < Drive().model()->rowCount(index); ++i)
            names << Drive().model()->index(i, 0, index).data().toString();
        return names;
    }
    void Click(const QModelIndex& index) {
        Drive().scrollTo(index);
        QTest::mouseClick(Drive().viewport(), Qt::LeftButton, {}, Drive().visualRect(index).center());
    }
};

TEST_F(DriveViewTest, ShowsTheVolumesAndOpensDownToTheCurrentFolder) {
    MakeSmallTree();
    MakeFile("docs/Zeta/z.txt", 1, 1);
    MakeFile("docs/alpha/a.txt", 1, 1);
    MakeFile("docs/Beta/b.txt", 1, 1);
    ScanAndWriteResult();
    OpenWindow();
    DriveModel* model = Drive().Model();
    const QModelIndex top = model->TopIndex();
    EXPECT_EQ(top.data().toString(), "My Computer (Scanned Volumes)");
    ASSERT_EQ(model->rowCount(top), 1);
    const QModelIndex volume = model->index(0, 0, top);
    const DriveModel::Item* item = model->ItemOf(volume);
    ASSERT_NE(item->node, nullptr);
    VolumeScanRecord record;
    ASSERT_TRUE(FetchVolumeById(state_.catalogue, 1, record));
    EXPECT_EQ(volume.data().toString().toStdString(),
              record.name + " (" + std::string(item->node->name()) + ")");
    EXPECT_EQ(item->image, VolumeImageOfMedia(record.media));

    // The current folder is selected with every item above it open; folders
    // are listed by name without regard to case.
    const QModelIndex docs = Drive().currentIndex();
    EXPECT_EQ(docs.data().toString(), "docs");
    EXPECT_TRUE(Drive().isExpanded(docs.parent()));
    Drive().expand(docs);
    EXPECT_EQ(Children(docs).join(','), "alpha,Beta,old,Zeta");
    EXPECT_EQ(Data().row_count, 14);
    EXPECT_FALSE(document_->IsModified());

    // Picking a folder runs the result for it.
    Click(model->ChildWithFolder(docs, state_.tree.FolderIdOfPath(tree_ + "/docs/old")));
    EXPECT_EQ(Data().path, tree_ + "/docs/old");
    EXPECT_EQ(Data().row_count, 4);
    EXPECT_TRUE(document_->IsModified());
    EXPECT_EQ(Rows().ItemCount(), 4);
}

TEST_F(DriveViewTest, AFolderIsListedAfreshEachTimeItOpensAndFollowsRenames) {
    MakeSmallTree();
    ScanAndWriteResult();
    OpenWindow();
    const QModelIndex docs = Drive().currentIndex();
    Drive().expand(docs);
    EXPECT_EQ(Children(docs).join(','), "old");
    // Closing drops the children: a folder added meanwhile shows at the next opening.
    Drive().collapse(docs);
    EXPECT_EQ(Drive().model()->rowCount(docs), 0);
    FolderNode* node = state_.tree.FindFolderById(Data().current_folder_id);
    FolderNode* added = state_.tree.AddFolderNode("new", node);
    added->folder_id = 9999;
    Drive().expand(docs);
    EXPECT_EQ(Children(docs).join(','), "new,old");

    const QModelIndex old =
        Drive().Model()->ChildWithFolder(docs, state_.tree.FolderIdOfPath(tree_ + "/docs/old"));
    const std::int32_t old_id = Drive().Model()->ItemOf(old)->node->folder_id;
    state_.tree.SetFolderName(state_.tree.FindFolderById(old_id), "older");
    document_->FolderRenamed(old_id);
    EXPECT_EQ(old.data().toString(), "older");
}

TEST_F(DriveViewTest, AnEmptyCatalogueShowsTheTopItemAloneAndNoDatabase) {
    ASSERT_TRUE(LoadCatalogueState(state_));
    ASSERT_TRUE(WriteResultFile(ResultDocument(), ResultPath(), state_.catalogue, state_.tree));
    OpenWindow();
    const QModelIndex top = Drive().Model()->TopIndex();
    EXPECT_EQ(Drive().model()->rowCount(top), 0);
    EXPECT_EQ(Drive().currentIndex(), top);
    EXPECT_EQ(Status(0), "No database...");
    EXPECT_EQ(Data().current_folder_id, 0);
}

}  // namespace
}  // namespace korvane
