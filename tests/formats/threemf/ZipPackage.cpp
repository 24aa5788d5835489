#include "ZipPackage.h"

#include "formats/common/TemporaryFiles.h"
#include "support/TestFiles.h"

#include <zip.h>

#include <stdexcept>
#include <sys/stat.h>

namespace trimeo::test {

ZipPackage& ZipPackage::file(std::string name, std::string content, bool compressed) {
    entries_.push_back({Entry::file, std::move(name), std::move(content), compressed});
    return *this;
}

ZipPackage& ZipPackage::directory(std::string name) {
    entries_.push_back({Entry::directory, std::move(name), {}, false});
    return *this;
}

ZipPackage& ZipPackage::symlink(std::string name, std::string target, std::uint8_t opsys) {
    entries_.push_back({Entry::symlink, std::move(name), std::move(target), false, opsys});
    return *this;
}

std::vector<std::uint8_t> ZipPackage::bytes() const {
    if (entries_.empty()) throw std::logic_error("a ZIP package needs an entry");
    TemporaryFile out("zip");
    int error = 0;
    zip_t* archive = zip_open(out.path().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) throw std::runtime_error("zip_open failed");
    auto fail = [&](const char* what) {
        std::string message = std::string(what) + ": " + zip_strerror(archive);
        zip_discard(archive);
        throw std::runtime_error(message);
    };
    for (const Entry& e : entries_) {
        zip_int64_t index = -1;
        if (e.kind == Entry::directory) {
            index = zip_dir_add(archive, e.name.c_str(), ZIP_FL_ENC_UTF_8);
        } else {
            zip_source_t* source = zip_source_buffer(archive, e.content.data(), e.content.size(), 0);
            if (!source) fail("zip_source_buffer");
            index = zip_file_add(archive, e.name.c_str(), source, ZIP_FL_ENC_UTF_8);
            if (index < 0) zip_source_free(source);
        }
        if (index < 0) fail("adding an entry");
        if (e.kind != Entry::directory &&
            zip_set_file_compression(archive, zip_uint64_t(index), e.compressed ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) != 0)
            fail("zip_set_file_compression");
        if (e.kind == Entry::symlink &&
            zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, e.opsys,
                                             zip_uint32_t(S_IFLNK | 0777) << 16) != 0)
            fail("zip_file_set_external_attributes");
    }
    if (zip_close(archive) != 0) fail("zip_close");
    return readFile(out.path());
}

std::string modelXML(const std::vector<std::string>& meshes, const std::string& extra) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<model unit=\"millimeter\" xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
                      "<resources>\n";
    int id = 1;
    for (const std::string& mesh : meshes)
        xml += "<object id=\"" + std::to_string(id++) + "\" type=\"model\"><mesh>" + mesh + "</mesh></object>\n";
    xml += extra;
    xml += "</resources>\n<build/>\n</model>\n";
    return xml;
}

std::string tetrahedronMesh(float offset) {
    auto v = [&](float x, float y, float z) {
        return "<vertex x=\"" + std::to_string(x + offset) + "\" y=\"" + std::to_string(y) + "\" z=\"" +
               std::to_string(z) + "\"/>";
    };
    return "<vertices>" + v(0, 0, 0) + v(1, 0, 0) + v(0, 1, 0) + v(0, 0, 1) +
           "</vertices><triangles>"
           "<triangle v1=\"0\" v2=\"2\" v3=\"1\"/><triangle v1=\"0\" v2=\"1\" v3=\"3\"/>"
           "<triangle v1=\"0\" v2=\"3\" v3=\"2\"/><triangle v1=\"1\" v2=\"2\" v3=\"3\"/>"
           "</triangles>";
}

} // namespace trimeo::test
