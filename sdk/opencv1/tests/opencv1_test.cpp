// The OpenCV 1.0 entry points, resolved by name from cxcore100.so and cv100.so the way
// the driver does, finding the face of the live-view portrait.
#include "opencv1/cv100.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <jpeglib.h>
#include <link.h>
#include <string>
#include <vector>

namespace {

struct Library {
    explicit Library(const char* name)
        : handle(dlopen((std::string(CAPDECK_BIN_DIR) + "/" + name).c_str(), RTLD_NOW)) {}
    ~Library() {
        if (handle != nullptr) dlclose(handle);
    }
    template <typename F> F Get(const char* symbol) const {
        return reinterpret_cast<F>(dlsym(handle, symbol));
    }
    void* handle;
};

struct Api {
    Library cxcore{"cxcore100.so"};
    Library cv{"cv100.so"};
    cvCreateImage_fn createImage = cxcore.Get<cvCreateImage_fn>("cvCreateImage");
    cvReleaseImage_fn releaseImage = cxcore.Get<cvReleaseImage_fn>("cvReleaseImage");
    cvLoad_fn load = cxcore.Get<cvLoad_fn>("cvLoad");
    cvCreateMemStorage_fn createStorage = cxcore.Get<cvCreateMemStorage_fn>("cvCreateMemStorage");
    cvReleaseMemStorage_fn releaseStorage =
        cxcore.Get<cvReleaseMemStorage_fn>("cvReleaseMemStorage");
    cvClearMemStorage_fn clearStorage = cxcore.Get<cvClearMemStorage_fn>("cvClearMemStorage");
    cvGetSeqElem_fn seqElem = cxcore.Get<cvGetSeqElem_fn>("cvGetSeqElem");
    cvRectangle_fn rectangle = cxcore.Get<cvRectangle_fn>("cvRectangle");
    cvHaarDetectObjects_fn detect = cv.Get<cvHaarDetectObjects_fn>("cvHaarDetectObjects");
    cvReleaseHaarClassifierCascade_fn releaseCascade =
        cv.Get<cvReleaseHaarClassifierCascade_fn>("cvReleaseHaarClassifierCascade");
};

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};
void Fail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Decodes a JPEG file into the image's rows in blue, green, red order.
bool DecodeInto(const char* path, IplImage* image) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    jpeg_decompress_struct info;
    ErrorManager error;
    info.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = Fail;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    const bool fits = static_cast<int>(info.output_width) == image->width &&
                      static_cast<int>(info.output_height) == image->height;
    while (fits && info.output_scanline < info.output_height) {
        JSAMPROW row =
            reinterpret_cast<JSAMPROW>(image->imageData + info.output_scanline * image->widthStep);
        jpeg_read_scanlines(&info, &row, 1);
    }
    if (fits) jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return fits;
}

class Opencv1Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(api.cxcore.handle, nullptr) << dlerror();
        ASSERT_NE(api.cv.handle, nullptr) << dlerror();
    }
    void TearDown() override {
        if (cascade_ != nullptr) api.releaseCascade(&cascade_);
        if (storage_ != nullptr) api.releaseStorage(&storage_);
    }

    // The portrait cascade of the data folder and a storage for what it finds.
    void LoadCascade() {
        cascade_ = static_cast<CvHaarClassifierCascade*>(
            api.load(DATA_FOLDER_CASCADE, nullptr, nullptr, nullptr));
        ASSERT_NE(cascade_, nullptr);
        storage_ = api.createStorage(0);
        ASSERT_NE(storage_, nullptr);
    }

    // The search the driver runs on a live-view frame.
    CvSeq* DetectFaces(IplImage* image) {
        return api.detect(image, cascade_, storage_, 1.1, 2, CV_HAAR_DO_CANNY_PRUNING,
                          cvSize(40, 40));
    }

    Api api;
    CvHaarClassifierCascade* cascade_ = nullptr;
    CvMemStorage* storage_ = nullptr;
};

TEST_F(Opencv1Test, EveryEntryPointResolvesByNameInItsLibrary) {
    for (const void* f :
         {reinterpret_cast<const void*>(api.createImage), reinterpret_cast<const void*>(api.load),
          reinterpret_cast<const void*>(api.createStorage),
          reinterpret_cast<const void*>(api.clearStorage),
          reinterpret_cast<const void*>(api.seqElem), reinterpret_cast<const void*>(api.rectangle),
          reinterpret_cast<const void*>(api.detect)})
        EXPECT_NE(f, nullptr);
    EXPECT_EQ(api.cxcore.Get<void*>("cvHaarDetectObjects"), nullptr);
    EXPECT_EQ(api.cv.Get<void*>("cvCreateImage"), nullptr);
}

TEST_F(Opencv1Test, FindsTheFaceInTheLiveViewPortrait) {
    ASSERT_NO_FATAL_FAILURE(LoadCascade());
    IplImage* image = api.createImage(cvSize(320, 240), IPL_DEPTH_8U, 3);
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(DecodeInto(FACE_FIXTURE, image));
    for (int run = 0; run < 2; ++run) { // a cleared storage serves the next run
        api.clearStorage(storage_);
        CvSeq* faces = DetectFaces(image);
        ASSERT_NE(faces, nullptr);
        ASSERT_EQ(faces->total, 1);
        const auto* face = reinterpret_cast<const CvRect*>(api.seqElem(faces, 0));
        ASSERT_NE(face, nullptr);
        EXPECT_NEAR(face->x, 110, 6);
        EXPECT_NEAR(face->y, 40, 6);
        EXPECT_NEAR(face->width, 62, 6);
        EXPECT_NEAR(face->height, 62, 6);
        EXPECT_EQ(api.seqElem(faces, -1), api.seqElem(faces, 0));
        EXPECT_EQ(api.seqElem(faces, 1), nullptr);
        EXPECT_EQ(api.seqElem(faces, -2), nullptr);
    }
    api.releaseImage(&image);
    EXPECT_EQ(image, nullptr);
    api.releaseStorage(&storage_);
    EXPECT_EQ(storage_, nullptr);
    api.releaseCascade(&cascade_);
    EXPECT_EQ(cascade_, nullptr);
}

TEST_F(Opencv1Test, ABlankImageHasNoFace) {
    ASSERT_NO_FATAL_FAILURE(LoadCascade());
    IplImage* image = api.createImage(cvSize(180, 240), IPL_DEPTH_8U, 3);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->widthStep, 540);
    CvSeq* faces = DetectFaces(image);
    ASSERT_NE(faces, nullptr);
    EXPECT_EQ(faces->total, 0);
    EXPECT_EQ(api.seqElem(faces, 0), nullptr);
    api.releaseImage(&image);
}

TEST_F(Opencv1Test, LoadRefusesMissingAndForeignFiles) {
    EXPECT_EQ(api.load("/nonexistent/FaceDetectData.xml", nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(api.load(FACE_FIXTURE, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(api.load(nullptr, nullptr, nullptr, nullptr), nullptr);
    const std::string xml = ::testing::TempDir() + "opencv1_not_a_cascade.xml";
    FILE* f = std::fopen(xml.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("<?xml version=\"1.0\"?>\n<opencv_storage><x>1</x></opencv_storage>\n", f);
    std::fclose(f);
    EXPECT_EQ(api.load(xml.c_str(), nullptr, nullptr, nullptr), nullptr);
    std::remove(xml.c_str());
}

TEST_F(Opencv1Test, BadArgumentsGiveNoResultInsteadOfACrash) {
    ASSERT_NO_FATAL_FAILURE(LoadCascade());
    CvHaarClassifierCascade* c = cascade_;
    CvMemStorage* storage = storage_;
    IplImage* image = api.createImage(cvSize(64, 48), IPL_DEPTH_8U, 3);
    const CvSize min = cvSize(40, 40);
    EXPECT_EQ(api.detect(nullptr, c, storage, 1.1, 2, 1, min), nullptr);
    EXPECT_EQ(api.detect(image, nullptr, storage, 1.1, 2, 1, min), nullptr);
    EXPECT_EQ(api.detect(image, c, nullptr, 1.1, 2, 1, min), nullptr);
    EXPECT_EQ(api.detect(image, c, storage, 1.0, 2, 1, min), nullptr);
    EXPECT_EQ(api.detect(image, reinterpret_cast<CvHaarClassifierCascade*>(storage), storage, 1.1,
                         2, 1, min),
              nullptr);
    EXPECT_EQ(api.createImage(cvSize(320, 240), 16, 3), nullptr);
    EXPECT_EQ(api.createImage(cvSize(0, 240), IPL_DEPTH_8U, 3), nullptr);
    EXPECT_EQ(api.createImage(cvSize(320, 240), IPL_DEPTH_8U, 5), nullptr);
    EXPECT_EQ(api.createStorage(-1), nullptr);
    EXPECT_EQ(api.seqElem(nullptr, 0), nullptr);
    api.rectangle(nullptr, cvPoint(0, 0), cvPoint(1, 1), cvScalar(0, 0, 0, 0), 1, 8, 0);
    api.rectangle(image, cvPoint(0, 0), cvPoint(1, 1), cvScalar(0, 0, 0, 0), 1, 3, 0);
    api.clearStorage(nullptr);
    api.releaseImage(&image);
}

TEST_F(Opencv1Test, RectangleDrawsAOnePixelOutlineInBlueGreenRed) {
    IplImage* image = api.createImage(cvSize(5, 20), IPL_DEPTH_8U, 3);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->widthStep, 16) << "rows padded to four bytes";
    api.rectangle(image, cvPoint(1, 2), cvPoint(3, 6), cvScalar(0, 255, 255, 0), 1, 8, 0);
    const auto pixel = [&](int x, int y) {
        const auto* p =
            reinterpret_cast<const unsigned char*>(image->imageData + y * image->widthStep + x * 3);
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(pixel(1, 2), (std::vector<int>{0, 255, 255}));
    EXPECT_EQ(pixel(3, 6), (std::vector<int>{0, 255, 255}));
    EXPECT_EQ(pixel(2, 4), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(pixel(0, 0), (std::vector<int>{0, 0, 0}));
    api.releaseImage(&image);
}

} // namespace

namespace {

// The libraries a loaded module names as its dependencies (DT_NEEDED).
std::vector<std::string> NeededLibraries(void* library) {
    link_map* map = nullptr;
    std::vector<std::string> needed;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return needed;
    const char* strings = nullptr;
    for (const ElfW(Dyn)* d = map->l_ld; d->d_tag != DT_NULL; ++d)
        if (d->d_tag == DT_STRTAB) strings = reinterpret_cast<const char*>(d->d_un.d_ptr);
    for (const ElfW(Dyn)* d = map->l_ld; strings != nullptr && d->d_tag != DT_NULL; ++d)
        if (d->d_tag == DT_NEEDED) needed.emplace_back(strings + d->d_un.d_val);
    return needed;
}

// OpenCV calls some of its own C functions that carry our entry points' names; the
// entry-point libraries must not bring OpenCV into their own lookup scope.
TEST(Opencv1LinkTest, EntryPointLibrariesDoNotLinkOpenCv) {
    for (const char* name : {"cxcore100.so", "cv100.so"}) {
        void* library = dlopen((std::string(CAPDECK_BIN_DIR) + "/" + name).c_str(), RTLD_NOW);
        ASSERT_NE(library, nullptr) << dlerror();
        const std::vector<std::string> needed = NeededLibraries(library);
        EXPECT_FALSE(needed.empty());
        for (const std::string& dependency : needed)
            EXPECT_EQ(dependency.find("opencv"), std::string::npos) << name << ": " << dependency;
        dlclose(library);
    }
}

} // namespace
