#pragma once

#include <string>

namespace corvane::load {

// The accounts and sizes of the load database. Every account's password is load_password.
inline constexpr char load_password[] = "load-password";
inline constexpr char reader_account[] = "reader@load.example";
inline constexpr char one_project_account[] = "one@load.example";
inline constexpr char many_projects_account[] = "many@load.example";
inline constexpr int folder_tasks = 200;
inline constexpr int history_changes = 200'000;
inline constexpr int list_tasks = 100'000;
inline constexpr int many_projects = 1000;
inline constexpr int create_folders = 40; // Room for 40,000 new tasks per account and run.

// Titles that name the folders and tasks the phases use; found again by title on every run.
inline constexpr char16_t fresh_folder_title[] = u"Fresh folder";
inline constexpr char16_t history_folder_title[] = u"Folder with a long history";
inline constexpr char16_t hot_task_title[] = u"The task everyone edits";
inline constexpr char16_t list_project_title[] = u"Big list";

// Builds the database once, in-process through the service's own methods (no HTTP), unless
// `path` holds a complete one already. False with a message on standard error on failure.
bool ensure_load_data(const std::string& path);

} // namespace corvane::load
