#include "site/ops/site_operations.h"

#include "site/ops/auto_run_ops.h"
#include "site/ops/card_store_ops.h"
#include "site/ops/empty_steps.h"
#include "site/ops/firmware_ops.h"
#include "site/ops/identity_ops.h"
#include "site/ops/maintenance_ops.h"
#include "site/ops/run_all_ops.h"
#include "site/ops/unit_info_ops.h"
#include "site/ops/sd_run_ops.h"
#include "site/ops/unit_notice_ops.h"
#include "site/ops/unit_preparation_ops.h"

void RegisterSiteOperations(OpcodeTable& table) {
  RegisterUnitNotices(table);
  RegisterIdentityOperations(table);
  RegisterUnitInformation(table);
  RegisterMaintenanceOperations(table);
  RegisterEmptySteps(table);
  RegisterUnitPreparation(table);
  RegisterRunOperations(table);
  RegisterAutoRunOperations(table);
  RegisterFirmwareOperations(table);
  RegisterCardOperations(table);
  RegisterSdRunOperations(table);
}
