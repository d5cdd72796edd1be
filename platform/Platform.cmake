# Libraries of the platform layer's implementations.
find_package(SQLite3 REQUIRED)
target_link_libraries(platform PUBLIC SQLite::SQLite3)
