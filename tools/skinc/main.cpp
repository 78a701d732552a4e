// skinc: compiles a skin source (JSON) into the device's binary skin file and its 16-bit BMP
// pictures, and prints compiled skins as text.
#include "ArtConverter.h"
#include "CorvaneVersion.h"
#include "SkinDump.h"
#include "SkinSource.h"
#include "SkinWriter.h"
#include "device/skin/skin/SkinValidator.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace fs = std::filesystem;
using namespace skinc;

namespace {

int usage(std::ostream& out, int status)
{
    out << "usage: skinc SOURCE.json -o OUTPUT.skin   compile; pictures go beside OUTPUT as "
           "NAME.bmp\n"
           "       skinc dump FILE.skin              print every node, property and child\n";
    return status;
}

std::string find_art(const Source& source, const std::string& name, const fs::path& folder)
{
    if (auto found = source.art.find(name); found != source.art.end())
        return found->second;
    for (const char* sub : { "art", "." }) {
        for (const char* extension : { ".png", ".bmp" }) {
            fs::path candidate = folder / sub / (name + extension);
            if (fs::exists(candidate))
                return candidate.string();
        }
    }
    throw CompileError("picture \"" + name + "\": no art found (looked for art/" + name
        + ".png and " + name + ".png beside the source, or an \"art\" entry)");
}

int compile(const std::string& input, const std::string& output)
{
    Source source = read_source(input);
    fs::path folder = fs::path(input).parent_path();
    fs::path out_folder = fs::path(output).parent_path();
    if (!out_folder.empty())
        fs::create_directories(out_folder);
    std::map<std::string, PictureSize> sizes;
    std::vector<std::string> pictures = picture_names(source);
    if (pictures.size() > 256)
        throw CompileError(
            input + ": more than 256 different pictures; picture indexes are one byte");
    for (const std::string& name : pictures) {
        std::string art = find_art(source, name, folder);
        sizes[name] = convert_art(art, (out_folder / (name + ".bmp")).string());
    }
    std::vector<std::uint8_t> bytes = write_skin(source, sizes);
    // The loader's own checks, so nothing the device would refuse leaves the compiler.
    corvane::SkinValidator validator(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    if (!validator.validate())
        throw CompileError(
            output + ": the compiled skin breaks a limit of the format: " + validator.why());
    write_file(output, bytes.data(), bytes.size());
    return 0;
}

int dump(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "skinc: " << path << ": cannot be read\n";
        return 1;
    }
    std::vector<std::uint8_t> bytes(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return dump_skin(bytes, std::cout, std::cerr) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))
            return usage(std::cout, 0);
        if (args.size() == 1 && args[0] == "--version") {
            std::cout << "skinc " << CORVANE_VERSION << "\n";
            return 0;
        }
        if (args.size() == 2 && args[0] == "dump")
            return dump(args[1]);
        if (args.size() == 3 && args[1] == "-o")
            return compile(args[0], args[2]);
        return usage(std::cerr, 2);
    } catch (const CompileError& error) {
        std::cerr << "skinc: " << error.what() << "\n";
    } catch (const std::exception& error) {
        std::cerr << "skinc: " << error.what() << "\n";
    }
    return 1;
}
