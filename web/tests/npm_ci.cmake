# The npm packages the page tests drive the browsers with, as the committed
# lockfile pins them, in the build folder; no install script runs, so no
# browser or driver is downloaded. Where they cannot be installed, the
# reason is left in DIR/skipped.txt for the page tests to give.
#   cmake -D NPM=npm -D SOURCE=<web> -D DIR=<dir> -P npm_ci.cmake
file(REMOVE_RECURSE ${DIR})
function(skip reason)
  file(WRITE ${DIR}/skipped.txt "${reason}\n")
  message("SKIPPED: ${reason}")
endfunction()
if(NOT NPM)
  skip("npm is missing (Debian: npm)")
  return()
endif()
file(COPY ${SOURCE}/package.json ${SOURCE}/package-lock.json DESTINATION ${DIR})
set(ENV{PUPPETEER_SKIP_DOWNLOAD} 1)
execute_process(COMMAND ${NPM} ci --ignore-scripts --no-audit --no-fund WORKING_DIRECTORY ${DIR}
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
# A machine that cannot reach the registry (no network, or a TLS proxy whose
# certificate it lacks) cannot run the page tests: a skip that says why.
# Anything else npm fails at is a failure.
set(unreachable "SELF_SIGNED_CERT|UNABLE_TO_GET_ISSUER|UNABLE_TO_VERIFY|CERT_|ENOTFOUND|EAI_AGAIN|ECONNREFUSED|ETIMEDOUT|ENETUNREACH")
if(failed AND output MATCHES "code (${unreachable})")
  file(REMOVE_RECURSE ${DIR})
  skip("npm cannot reach its registry (${CMAKE_MATCH_1}), so the packages that drive the browsers are missing")
elseif(failed)
  message(FATAL_ERROR "npm ci failed:\n${output}")
endif()
