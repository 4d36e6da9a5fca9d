/* Statuses of a Linux I2C adapter used as the bridge ("i2cdev:PATH"), beside those of
 * wd_utils.h. VB_Stat2Str names the adapter's node in each text. */
#ifndef VELMORIX_WD_UTILS_I2CDEV_H
#define VELMORIX_WD_UTILS_I2CDEV_H

enum {
    WD_I2CDEV_ACCESS_DENIED = 0x20000101u,    /* the node exists but may not be opened */
    WD_I2CDEV_NO_GPIO = 0x20000102u,          /* the first GPIO command: says why it fails */
    WD_I2CDEV_GPIO_REFUSED = 0x20000103u,     /* every later GPIO command */
    WD_I2CDEV_NO_DIRECT_WRITE = 0x20000104u,  /* a direct write (endpoint 4) */
    WD_I2CDEV_BUS_TIMEOUT = 0x20000105u,      /* the adapter timed out (ETIMEDOUT) */
    WD_I2CDEV_ARBITRATION_LOST = 0x20000106u, /* another master took the bus (EAGAIN) */
    WD_I2CDEV_ADAPTER_ERROR = 0x20000107u,    /* the adapter refused the transfer */
    WD_I2CDEV_NOT_PLAIN_I2C = 0x20000108u,    /* the node offers no plain I2C transfers */
    WD_I2CDEV_ADDRESS_BUSY = 0x20000109u,     /* a kernel driver holds the address (EBUSY) */
    WD_I2CDEV_SHAPE_UNSUPPORTED = 0x2000010Au, /* an SMBus-only adapter cannot carry it */
    WD_I2CDEV_NOT_AN_ADAPTER = 0x2000010Bu     /* an adapter's own call, on another bridge */
};

#endif
