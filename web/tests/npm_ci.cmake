# puppeteer-core as the committed lockfile pins it, in the build folder; no
# install script runs, so no browser is downloaded.
#   cmake -D NPM=npm -D SOURCE=<web> -D DIR=<dir> -P npm_ci.cmake
file(REMOVE_RECURSE ${DIR})
file(COPY ${SOURCE}/package.json ${SOURCE}/package-lock.json DESTINATION ${DIR})
set(ENV{PUPPETEER_SKIP_DOWNLOAD} 1)
execute_process(COMMAND ${NPM} ci --ignore-scripts --no-audit --no-fund WORKING_DIRECTORY ${DIR}
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
# A machine that cannot reach the registry (no network, or a TLS proxy whose
# certificate it lacks) cannot run the page test: a skip that says why.
# Anything else npm fails at is a failure.
set(unreachable "SELF_SIGNED_CERT|UNABLE_TO_GET_ISSUER|UNABLE_TO_VERIFY|CERT_|ENOTFOUND|EAI_AGAIN|ECONNREFUSED|ETIMEDOUT|ENETUNREACH")
if(failed AND output MATCHES "code (${unreachable})")
  file(REMOVE_RECURSE ${DIR})
  message("SKIPPED: npm cannot reach its registry (${CMAKE_MATCH_1}), so puppeteer-core is missing")
elseif(failed)
  message(FATAL_ERROR "npm ci failed:\n${output}")
endif()
