# Stored users: with 5,000 stored users, a favourite toggle to the re-sorted lists, one notes
# keystroke stored, and one reported user merged and stored. The program prints its figures.
add_executable(users_store users_store.cpp BenchSupport.h)
target_link_libraries(users_store PRIVATE morvenda_common MorvendaUsers)
