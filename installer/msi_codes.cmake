# The codes of Corvale's MSI package, by which Windows Installer, Group Policy, Intune and SCCM
# know it, and setup.exe recognises its installation.
#   VARNELL_MSI_UPGRADE_CODE                  shared by every version; never change it
#   varnell_msi_product_code(<var> <version>) the product code of one version (2.0.0.512): a
#                                             name-based UUID of the version, so that each version
#                                             has its own and a rebuild of a version the same one
set(VARNELL_MSI_UPGRADE_CODE 7843A62A-E87E-492A-AE69-8027DB52BDEE)

function(varnell_msi_product_code var version)
  string(UUID code NAMESPACE ${VARNELL_MSI_UPGRADE_CODE} NAME "Corvale ${version}" TYPE SHA1 UPPER)
  set(${var} ${code} PARENT_SCOPE)
endfunction()
