# puppeteer-core as the committed lockfile pins it, in the build folder; no
# install script runs, so no browser is downloaded.
#   cmake -D NPM=npm -D SOURCE=<web> -D DIR=<dir> -P npm_ci.cmake
file(REMOVE_RECURSE ${DIR})
file(COPY ${SOURCE}/package.json ${SOURCE}/package-lock.json DESTINATION ${DIR})
set(ENV{PUPPETEER_SKIP_DOWNLOAD} 1)
execute_process(COMMAND ${NPM} ci --ignore-scripts --no-audit --no-fund WORKING_DIRECTORY ${DIR}
                COMMAND_ERROR_IS_FATAL ANY)
