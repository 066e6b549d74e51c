#include "app/skin.h"

namespace brevant {

namespace {

constexpr std::string_view kSkinFiles[] = {
    "main_bk.png",
    "main_bk.jpg",
    "main_bk3.jpg",
    "wait_search.gif",
    "scan_btn_normal.png",
    "scan_btn_over.png",
    "scan_btn_down.png",
    "scan_btn_disable.png",
    "ostrel_logo.bmp",
    "combox_down.png",
    "protection_btn_normal.png",
    "protection_btn_over.png",
    "protection_btn_down.png",
    "protection_btn_disable.png",
    "change_btn_normal.png",
    "btn_template.png",
    "select.bmp",
    "unselect.bmp",
    "part_select.bmp",
    "success.bmp",
    "error.bmp",
    "operating.bmp",
    "apply_btn_normal.png",
    "apply_btn_over.png",
    "apply_btn_down.png",
    "apply_btn_disable.png",
    "cancel_btn_normal.png",
    "cancel_btn_over.png",
    "cancel_btn_down.png",
    "choose_btn_normal.png",
    "btn_ini_file.png",
    "btn_pic_file.png",
    "btn_switch_on.png",
    "btn_switch_off.png",
    "btn_close_normal.png",
    "btn_close_over.png",
    "btn_close_down.png",
    "btn_close_normal2.png",
    "btn_child_close.png",
    "btn_child_close2.png",
    "btn_min_normal.png",
    "btn_min_over.png",
    "btn_min_down.png",
    "help_normal.bmp",
};

}  // namespace

SkinPaths::SkinPaths(const std::filesystem::path& executableDirectory)
    : folder_(executableDirectory / "Skin") {}

std::span<const std::string_view> SkinPaths::FileNames() {
  return kSkinFiles;
}

std::filesystem::path SkinPaths::Path(std::string_view fileName) const {
  return folder_ / fileName;
}

}  // namespace brevant
