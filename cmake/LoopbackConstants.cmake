# Server addresses for the test and demo builds: every service on loopback, on
# fixed ports that the end-to-end tests and scripts/demo.sh listen on. The
# servers are named "localhost", as a live build names its hosts, so that the
# system resolver is asked (and a test can take it away).
#   cmake -C cmake/LoopbackConstants.cmake -S . -B build/...
set(VORN_GAMEPACK_URL "http://localhost:47180/download" CACHE STRING "" FORCE)
set(VORN_GAMEPACK_URL_BAK "http://localhost:47181/download" CACHE STRING "" FORCE)
set(VORN_UPDATE_URL "http://localhost:47180/update" CACHE STRING "" FORCE)
set(VORN_UPDATE_URL_BAK "http://localhost:47181/update" CACHE STRING "" FORCE)
set(VORN_HTTPDNS_ENDPOINT "127.0.0.1:47153" CACHE STRING "" FORCE)
set(VORN_STATS_URL "http://127.0.0.1:47190" CACHE STRING "" FORCE)
set(VORN_SERVICE_PAGE_URL "http://127.0.0.1:47190/im_client/?web_plugin_id=1" CACHE STRING "" FORCE)
# A key pair of the build tree's own; the sample package is signed with it.
set(VORN_TEST_PACKAGE_KEY ON CACHE BOOL "" FORCE)
