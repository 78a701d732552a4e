# Compiles every skins/<name>/skin.json into <build>/bin/skins/bin/<name>.skin (pictures beside
# it as <picture>.bmp) and copies lang/*.lng into <build>/bin/. Included from tools/, after the
# skinc target exists.
set(skin_output_dir ${CORVANE_BIN_DIR}/skins/bin)
set(skin_data_outputs)

file(GLOB skin_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/skins/*/skin.json)
foreach(source ${skin_sources})
    get_filename_component(skin_dir ${source} DIRECTORY)
    get_filename_component(skin_name ${skin_dir} NAME)
    file(GLOB_RECURSE skin_art CONFIGURE_DEPENDS ${skin_dir}/*.png ${skin_dir}/*.bmp)
    add_custom_command(
        OUTPUT ${skin_output_dir}/${skin_name}.skin
        COMMAND ${CMAKE_COMMAND} -E make_directory ${skin_output_dir}
        COMMAND skinc ${source} -o ${skin_output_dir}/${skin_name}.skin
        DEPENDS skinc ${source} ${skin_art}
        COMMENT "Compiling skin ${skin_name}"
        VERBATIM)
    list(APPEND skin_data_outputs ${skin_output_dir}/${skin_name}.skin)
endforeach()

file(GLOB language_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/lang/*.lng)
foreach(language ${language_files})
    get_filename_component(language_name ${language} NAME)
    add_custom_command(
        OUTPUT ${CORVANE_BIN_DIR}/${language_name}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${language} ${CORVANE_BIN_DIR}/${language_name}
        DEPENDS ${language}
        VERBATIM)
    list(APPEND skin_data_outputs ${CORVANE_BIN_DIR}/${language_name})
endforeach()

add_custom_target(skin_data ALL DEPENDS ${skin_data_outputs})
