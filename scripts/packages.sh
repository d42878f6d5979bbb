# Package lists shared by the scripts (sourced).
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libbsd-dev help2man libssl-dev libsodium-dev libssh-dev)
TEST_PACKAGES=(libgtest-dev libgmock-dev libbotan-2-dev age bash-completion openssh-client)
GUI_PACKAGES=(qt6-base-dev libxcb1-dev fonts-wine fonts-liberation2 fonts-freefont-ttf)
BENCH_PACKAGES=(libbotan-2-dev libcrypto++-dev libssl-dev libgcrypt20-dev nettle-dev openssl age)
PACKAGE_PACKAGES=(dpkg-dev file)
INSTALL_CHECK_PACKAGES=(desktop-file-utils appstream man-db)
