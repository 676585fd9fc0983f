// Registry, object lists and spatial indexes. The browse order and the titles are held by the
// shell tests; walking every object of a class by the zone tests (every view invalidated).
#include "core/mem.h"
#include "support/support.h"

#include <cstddef>
#include <cstring>

namespace {

class Registry : public ::testing::Test {
  protected:
    void SetUp() override { test_reset_core(); }
};

int make_entry(const char* path) {
    int id = 0;
    FileEntry* e = static_cast<FileEntry*>(obj_create(CLS_FILE_ENTRY, &id));
    mem_strdup(e->path, path);
    mem_strdup(e->sort_key, path);
    return id;
}

TEST(Status, MessagesAndCategories) {
    g_status = 0;
    EXPECT_STREQ(status_text(), "");
    EXPECT_STREQ(status_category_text(), "");
    EXPECT_STREQ(status_text_of(7), status_text_of(14));
    EXPECT_STREQ(status_category_text_of(7), "Erreur de chargement");
    EXPECT_STREQ(status_category_text_of(14), "Fichier invalide");
    EXPECT_STREQ(status_category_text_of(4), "Communication impossible");
    EXPECT_STREQ(status_category_text_of(5), "Communication impossible");
    EXPECT_STREQ(status_text_of(10),
                 "Erreur interne (objet).\nContactez votre developpeur prefere!");
    EXPECT_STREQ(status_category_text_of(15), "Erreur applicative");
    EXPECT_STREQ(status_text_of(17), "");
}

TEST_F(Registry, IdsAreSharedAcrossClassesAndNeverReused) {
    int image = 0, entry = 0, next = 0;
    obj_create(CLS_IMAGE, &image);
    obj_create(CLS_FILE_ENTRY, &entry);
    EXPECT_EQ(entry, image + 1);
    EXPECT_EQ(obj_find(CLS_FILE_ENTRY, image), nullptr);
    EXPECT_NE(obj_find(CLS_IMAGE, image), nullptr);
    EXPECT_EQ(*obj_find_as<int32_t>(CLS_IMAGE, image), image);
    obj_delete(CLS_FILE_ENTRY, entry);
    obj_create(CLS_FILE_ENTRY, &next);
    EXPECT_EQ(next, entry + 1);
    obj_delete(CLS_FILE_ENTRY, 999999); // unknown: nothing, no status
    EXPECT_EQ(g_status, 0);
}

TEST_F(Registry, ManyObjectsStayFindable) {
    // Enough items to grow the class table many times and to exercise the halving searches.
    std::vector<int> ids(5000);
    for (int& id : ids) obj_create(CLS_FILE_ENTRY, &id);
    for (size_t i = 0; i < ids.size(); i += 3) obj_delete(CLS_FILE_ENTRY, ids[i]);
    for (size_t i = 0; i < ids.size(); i++)
        EXPECT_EQ(obj_find(CLS_FILE_ENTRY, ids[i]) != nullptr, i % 3 != 0) << i;
    EXPECT_EQ(obj_count(CLS_FILE_ENTRY), 3333);
}

TEST_F(Registry, ObjectListsKeepIdOrderAcrossClasses) {
    int list = 0;
    ASSERT_EQ(list_create(&list), 0);
    int a = make_entry("a"), img = 0;
    obj_create(CLS_IMAGE, &img);
    int b = make_entry("b");
    list_add(list, CLS_FILE_ENTRY, b, nullptr);
    list_add(list, CLS_IMAGE, img, nullptr);
    list_add(list, CLS_FILE_ENTRY, a, nullptr);
    list_add(list, CLS_FILE_ENTRY, 0, nullptr); // ignored
    EXPECT_EQ(list_count(list, 0), 3);
    EXPECT_EQ(list_count(list, CLS_FILE_ENTRY), 2);
    // Each walk ends with id 0.
    std::vector<int> forward, backward;
    for (int id = 0; (list_next_of_class(list, CLS_FILE_ENTRY, &id), id != 0);)
        forward.push_back(id);
    EXPECT_EQ(forward, (std::vector<int>{a, b}));
    int id = 0;
    for (list_last_of_class(list, CLS_FILE_ENTRY, &id); id;
         list_prev_of_class(list, CLS_FILE_ENTRY, &id))
        backward.push_back(id);
    EXPECT_EQ(backward, (std::vector<int>{b, a}));
    int cls = 0;
    list_next(list, &cls, &id);
    EXPECT_EQ(id, a);
    list_next(list, &cls, &id);
    EXPECT_EQ(cls, CLS_IMAGE);
    EXPECT_NE(list_find(list, img, &cls), nullptr);
    EXPECT_EQ(cls, CLS_IMAGE);

    list_add(list, CLS_FILE_ENTRY, 99999, nullptr);
    EXPECT_EQ(std::exchange(g_status, 0), ST_NOT_FOUND);

    // Deleting the list object frees its items but leaves the members.
    obj_delete(CLS_TABLE, list);
    EXPECT_NE(obj_find(CLS_FILE_ENTRY, a), nullptr);
    list_add(list, CLS_FILE_ENTRY, a, nullptr);
    EXPECT_EQ(g_status, ST_NOT_FOUND);
}

TEST_F(Registry, SpatialIndexKeepsGroupUnion) {
    int index = 0;
    extent_create(1000, &index);
    auto bounds = [](double x0, double y0, double x1, double y1) {
        Bounds* b = nullptr;
        mem_alloc(b, sizeof(Bounds));
        *b = Bounds{0, 0, x0, y0, x1, y1};
        return b;
    };
    extent_add(index, 1000, 5, bounds(0, 0, 10, 10));
    extent_add(index, 1000, 3, bounds(-5, 2, 4, 20));
    auto group = [&](int id) {
        double x0, y0, x1, y1;
        extent_bounds(index, id, &x0, &y0, &x1, &y1);
        return std::vector<double>{x0, y0, x1, y1};
    };
    EXPECT_EQ(group(1000), (std::vector<double>{-5, 0, 10, 20}));
    extent_remove(index, 1000, 3);
    EXPECT_EQ(group(1000), (std::vector<double>{0, 0, 10, 10}));
    EXPECT_EQ(group(77), (std::vector<double>{0, 0, 0, 0})) << "unknown group";
    extent_destroy(index);
    EXPECT_EQ(obj_find(CLS_TABLE, index), nullptr);
}

} // namespace
